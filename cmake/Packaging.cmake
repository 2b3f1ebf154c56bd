# Installing like any Linux plug-in: `cmake --install` puts the VST plug-in
# into lib/vst, the VST3 bundle into lib/vst3 and the LV2 bundle into lib/lv2
# under the prefix (under /usr and /usr/local, folders hosts scan), and
# `cpack -G DEB` makes a Debian package of all three that installs into
# /usr/lib/vst, /usr/lib/vst3 and /usr/lib/lv2, with its copyright file.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME polyquinta)
set(CPACK_PACKAGE_VENDOR "Brask Lab")
set(CPACK_PACKAGE_CONTACT "Brask Lab")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-split MIDI effect: close harmony voices from the held chord (VST 2.4, VST3, LV2)")
set(CPACK_PACKAGE_DESCRIPTION "Polyquinta splits the keyboard: the left hand holds chords, the right hand plays the melody, and every melody change is answered with close harmony voices built from the held chord. Chord and melody go out on MIDI channels of their own.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON) # the debugging information is most of the binaries' size
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the binaries link, found by dpkg-shlibdeps, and the X11
# extension libraries the framework opens at run time, which it cannot see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxext6, libxcursor1, libxinerama1, libxrender1, libxrandr2")
# The editor draws its text with a system font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/polyquinta)
include(CPack)
