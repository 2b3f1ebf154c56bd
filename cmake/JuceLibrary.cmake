# JUCE's modules are compiled once into static libraries that the plug-in,
# the tests and the tools all link, instead of being recompiled per target.
#

set(POLYQUINTA_JUCE_DEFINITIONS
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    JUCE_USE_MP3AUDIOFORMAT=0
    JUCE_USE_LAME_AUDIO_FORMAT=0
    JUCE_USE_WINDOWS_MEDIA_FORMAT=0
    JUCE_ALSA=0
    JUCE_JACK=0
    JUCE_BELA=0
    JUCE_USE_CDREADER=0
    JUCE_USE_CDBURNER=0
    JUCE_PLUGINHOST_VST=0
    JUCE_PLUGINHOST_VST3=0
    JUCE_PLUGINHOST_LADSPA=0
    JUCE_PLUGINHOST_LV2=0
    JUCE_PLUGINHOST_AU=0
    JUCE_STANDALONE_APPLICATION=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_SILENCE_XCODE_15_LINKER_WARNING=1
)

set(POLYQUINTA_JUCE_MODULES
    juce::juce_core
    juce::juce_events
    juce::juce_data_structures
    juce::juce_graphics
    juce::juce_gui_basics
    juce::juce_gui_extra
    juce::juce_audio_basics
    juce::juce_audio_processors
    juce::juce_audio_formats
    juce::juce_audio_devices
    juce::juce_audio_utils)

add_library(polyquinta_juce STATIC)
target_link_libraries(polyquinta_juce
    PRIVATE ${POLYQUINTA_JUCE_MODULES}
    PUBLIC juce::juce_recommended_config_flags)
# The framework's VST3 hosting is there only for a target that says
# POLYQUINTA_HOSTS_VST3 (the tests that load the VST3 plug-in as a host does).
target_compile_definitions(polyquinta_juce
    PRIVATE ${POLYQUINTA_JUCE_DEFINITIONS}
    INTERFACE $<FILTER:$<TARGET_PROPERTY:polyquinta_juce,COMPILE_DEFINITIONS>,EXCLUDE,^JUCE_PLUGINHOST_VST3=>
              JUCE_PLUGINHOST_VST3=$<BOOL:$<TARGET_PROPERTY:POLYQUINTA_HOSTS_VST3>>)
# Not the plug-in SDK copies the framework brings for hosting plug-ins: the
# LV2 adapter builds on the system's LV2 headers (lv2-dev), which they would hide.
target_include_directories(polyquinta_juce
    INTERFACE "$<FILTER:$<TARGET_PROPERTY:polyquinta_juce,INCLUDE_DIRECTORIES>,EXCLUDE,/format_types/>")
# Warnings inside JUCE are not ours to fix.
target_compile_options(polyquinta_juce PRIVATE -w)
if(WIN32)
    # MinGW: the big GUI translation units exceed COFF's section limit otherwise.
    target_compile_options(polyquinta_juce PUBLIC -Wa,-mbig-obj)
    # zlib from libz-mingw-w64-dev; libpng and libjpeg built from Debian's
    # sources (scripts/build-mingw-deps.sh). All static, so that the plug-in
    # imports only system DLLs.
    find_library(POLYQUINTA_MINGW_Z NAMES libz.a REQUIRED)
    find_library(POLYQUINTA_MINGW_PNG NAMES libpng16.a REQUIRED)
    find_library(POLYQUINTA_MINGW_JPEG NAMES libjpeg.a REQUIRED)
    find_path(POLYQUINTA_MINGW_PNG_INCLUDE png.h REQUIRED)
    find_path(POLYQUINTA_MINGW_JPEG_INCLUDE jpeglib.h REQUIRED)
    target_include_directories(polyquinta_juce PRIVATE ${POLYQUINTA_MINGW_PNG_INCLUDE} ${POLYQUINTA_MINGW_JPEG_INCLUDE})
    target_link_libraries(polyquinta_juce PUBLIC ${POLYQUINTA_MINGW_PNG} ${POLYQUINTA_MINGW_JPEG} ${POLYQUINTA_MINGW_Z})
else()
    # Debian's JUCE uses the system zlib, libpng and libjpeg instead of bundled copies.
    target_link_libraries(polyquinta_juce PUBLIC z ${CMAKE_DL_LIBS} pthread)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(POLYQUINTA_FONTS REQUIRED IMPORTED_TARGET freetype2 fontconfig)
    target_link_libraries(polyquinta_juce PUBLIC png jpeg PkgConfig::POLYQUINTA_FONTS rt)
endif()

# The framework's plug-in processing module once more, with its VST3 hosting,
# for the tests that load the VST3 plug-in: linked before polyquinta_juce, it
# stands in for the copy without, and nothing else is compiled twice.
add_library(polyquinta_juce_vst3_hosting STATIC ${JUCE_MODULES_DIR}/juce_audio_processors/juce_audio_processors.cpp)
set_target_properties(polyquinta_juce_vst3_hosting PROPERTIES POLYQUINTA_HOSTS_VST3 ON)
target_include_directories(polyquinta_juce_vst3_hosting SYSTEM PUBLIC ${JUCE_MODULES_DIR}/juce_audio_processors/format_types/VST3_SDK)
target_link_libraries(polyquinta_juce_vst3_hosting PUBLIC polyquinta_juce)
target_compile_options(polyquinta_juce_vst3_hosting PRIVATE -w)
