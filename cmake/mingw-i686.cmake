# Cross-compiling for Windows with Debian's mingw-w64 (i686, posix threads so std::thread works).
# TUNEWRIGHT_WINDOWS_DEPS names the prefix that scripts/build-windows-deps.sh filled.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TUNEWRIGHT_MINGW_TRIPLE i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
