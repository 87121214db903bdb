# `cpack -G DEB` in the build folder makes tunewright_<version>-<release>_<arch>.deb from the
# install rules: every program, library, data file, manual page and desktop file that
# cmake --install carries goes in, under /usr. Dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tunewright)
set(CPACK_PACKAGE_VENDOR "the tunewright developers")
set(CPACK_PACKAGE_CONTACT "tunewright developers <tunewright@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player, renderer and library for Org-02 songs")
# The description's lines are kept under 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION "tunewright plays songs in the Org-02 format (sixteen tracks of notes)
through its own software mixer and its own melody waveforms and percussion
samples.
.
The package holds the player (a small OpenGL window with a volume slider), a
renderer that writes a song to a sound file, a tool that prints a song's facts,
the shared library with its C++ and C interfaces, and the samples, theme and
songs.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The sound engine and the renderer open libsndfile themselves (sample files; FLAC and Ogg
# output), and SDL opens libGL.so.1 itself for the player's OpenGL window, so dpkg-shlibdeps sees
# neither; the player's font is a link to Debian's (DebianStaging.cmake).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsndfile1")
if(TUNEWRIGHT_BUILD_PLAYER)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libgl1, fonts-freefont-ttf")
endif()
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers")
set(TUNEWRIGHT_DEB_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

# Debian's copyright file (machine-readable, from LICENSE and the font's notice) and
# changelog, both made here so that neither repeats what those files say.
function(tunewright_debian_paragraph p_File p_Variable)
  file(READ "${p_File}" l_Text)
  string(STRIP "${l_Text}" l_Text)
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" l_Text "${l_Text}")
  string(REPLACE "\n" "\n " l_Text " ${l_Text}")
  set(${p_Variable} "${l_Text}" PARENT_SCOPE)
endfunction()
tunewright_debian_paragraph("${PROJECT_SOURCE_DIR}/LICENSE" TUNEWRIGHT_ZLIB_LICENSE_TEXT)
tunewright_debian_paragraph("${CMAKE_CURRENT_SOURCE_DIR}/FreeSans-NOTICE.txt" TUNEWRIGHT_FONT_LICENSE_TEXT)
set(l_DebianDir "${CMAKE_CURRENT_BINARY_DIR}/debian")
configure_file(debian/copyright.in "${l_DebianDir}/copyright" @ONLY)
configure_file(debian/changelog.in "${l_DebianDir}/changelog.Debian" @ONLY)
execute_process(COMMAND "${TUNEWRIGHT_GZIP}" -9 -n -c "${l_DebianDir}/changelog.Debian"
  OUTPUT_FILE "${l_DebianDir}/changelog.Debian.gz" COMMAND_ERROR_IS_FATAL ANY)
configure_file(debian/DebianStaging.cmake.in "${l_DebianDir}/DebianStaging.cmake" @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS "${l_DebianDir}/DebianStaging.cmake")

include(CPack)
