# Writes the manual page of polyquinta-render from its own --help, so that the
# two never disagree, compressed as Debian wants it (gzip -9n).
#   cmake -DRENDER=<polyquinta-render> -DVERSION=<x.y.z> -DOUT=<page.1.gz> -P ManPage.cmake
execute_process(COMMAND ${RENDER} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${RENDER} --help failed")
endif()

# roff takes a plain '-' as a hyphen; options want the minus sign.
function(roff_escape out text)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(options "")
string(REPLACE "\n" ";" lines "${help}")
foreach(line IN LISTS lines)
    # "  --flag ARGUMENT  text", or "  --flag  text": one space before an argument, two or more before the text.
    if(NOT line MATCHES "^  (--[^ ]+)(.*)$")
        continue()
    endif()
    roff_escape(flag "${CMAKE_MATCH_1}")
    set(rest "${CMAKE_MATCH_2}")
    if(rest MATCHES "^ ([^ ]+)  +(.+)$")
        roff_escape(argument "${CMAKE_MATCH_1}")
        roff_escape(text "${CMAKE_MATCH_2}")
        string(APPEND options ".TP\n.BI \"${flag} \" ${argument}\n${text}\n")
    else()
        string(STRIP "${rest}" rest)
        roff_escape(text "${rest}")
        string(APPEND options ".TP\n.B ${flag}\n${text}\n")
    endif()
endforeach()

set(page ".TH POLYQUINTA\\-RENDER 1 \"\" \"Polyquinta ${VERSION}\" \"User Commands\"
.SH NAME
polyquinta\\-render \\- harmonize a MIDI file through the Polyquinta plug\\-in
.SH SYNOPSIS
.B polyquinta\\-render
.I IN.mid OUT.mid
.RI [ options ]
.SH DESCRIPTION
.B polyquinta\\-render
plays a Standard MIDI File (format 0 or 1, any tempo map) through the
Polyquinta plug\\-in exactly as a host would, and writes what the plug\\-in
answers as a MIDI file with the input's timing, tempo map and meta events.
Keys below the split point are the chord area; every melody change above it
is answered with close harmony voices built from the held chord.
Note names count middle C, note 60, as C3.
.SH OPTIONS
${options}.SH EXIT STATUS
0 when the output file was written; 1, with a one\\-line message and no
output file left behind, when an input or an option is bad.
.SH FILES
.TP
.I /usr/lib/vst/Polyquinta.so
the plug\\-in played, unless \\fB\\-\\-plugin\\fR names another
")
get_filename_component(plain "${OUT}" NAME_WLE)
get_filename_component(dir "${OUT}" DIRECTORY)
file(WRITE "${dir}/${plain}" "${page}")
execute_process(COMMAND gzip -9nf "${dir}/${plain}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip failed")
endif()
