# Installing like any Linux plug-in: `cmake --install` puts the VST plug-in
# into lib/vst, the VST3 bundle into lib/vst3 and the LV2 bundle into lib/lv2
# under the prefix (under /usr and /usr/local, folders hosts scan), the render
# tool into bin with its manual page, and `cpack -G DEB` makes a Debian
# package of all of it that installs under /usr, with its copyright file and
# changelog, and that Debian's own checker (lintian) accepts.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME polyquinta)
set(CPACK_PACKAGE_VENDOR "${POLYQUINTA_VENDOR}")
set(CPACK_PACKAGE_CONTACT "${POLYQUINTA_VENDOR} <${POLYQUINTA_CONTACT}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-split MIDI effect: harmony voices from the held chord")
# Debian's description: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "Polyquinta splits the keyboard: the left hand holds chords, the right hand
plays the melody, and every melody change is answered with close harmony
voices built from the held chord. Chord and melody go out on MIDI channels
of their own. VST3, VST 2.4 and LV2 plug-ins, and polyquinta-render, which
harmonizes a MIDI file from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON) # the debugging information is most of the binaries' size
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the binaries link, found by dpkg-shlibdeps when cpack runs
# (packaging/Depends.cmake.in), and the X11 extension libraries the framework
# opens at run time, which it cannot see. Not CPack's own dpkg-shlibdeps run:
# it also adds ldconfig to the maintainer scripts for every shared object
# under /usr/lib, and the plug-ins are no libraries on the linker's path.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(POLYQUINTA_RUNTIME_DEPENDS "libxext6, libxcursor1, libxinerama1, libxrender1, libxrandr2")
set(POLYQUINTA_LINKED_BINARIES $<TARGET_FILE:Polyquinta> $<TARGET_FILE:Polyquinta_vst3> $<TARGET_FILE:Polyquinta_lv2> $<TARGET_FILE:polyquinta-render>)
configure_file(${PROJECT_SOURCE_DIR}/packaging/Depends.cmake.in ${PROJECT_BINARY_DIR}/packaging/Depends.cmake.in @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/packaging/Depends.cmake INPUT ${PROJECT_BINARY_DIR}/packaging/Depends.cmake.in)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/packaging/Depends.cmake)
# The editor draws its text with a system font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")

install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/polyquinta)
# A native package's changelog, compressed as Debian wants it.
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
add_custom_target(polyquinta-changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION share/doc/polyquinta)
include(CPack)
