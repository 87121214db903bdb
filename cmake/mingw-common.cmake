# The parts of the mingw-w64 toolchain files that do not depend on the processor.
set(CMAKE_C_COMPILER ${TUNEWRIGHT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TUNEWRIGHT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TUNEWRIGHT_MINGW_TRIPLE}-windres)
set(TUNEWRIGHT_WINDOWS_DEPS "" CACHE PATH "Prefix holding the Windows builds of the third-party libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${TUNEWRIGHT_MINGW_TRIPLE} ${TUNEWRIGHT_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run the programs they build under Wine, with the loader and prefix of their processor.
get_filename_component(l_WineRun "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${l_WineRun};${CMAKE_SYSTEM_PROCESSOR}")
