# Compiles through ccache where it is installed (TUNEWRIGHT_CCACHE=OFF turns it off). Paths under
# the source tree are hashed relative to it, and the build folder is not hashed, so another clone
# of the same sources on the same machine reuses what this one compiled.
option(TUNEWRIGHT_CCACHE "Compile through ccache where it is installed" ON)
find_program(TUNEWRIGHT_CCACHE_PROGRAM ccache)
if(TUNEWRIGHT_CCACHE AND TUNEWRIGHT_CCACHE_PROGRAM)
  set(l_Launcher "${CMAKE_COMMAND};-E;env;CCACHE_BASEDIR=${PROJECT_SOURCE_DIR};CCACHE_NOHASHDIR=1;${TUNEWRIGHT_CCACHE_PROGRAM}")
  set(CMAKE_C_COMPILER_LAUNCHER "${l_Launcher}")
  set(CMAKE_CXX_COMPILER_LAUNCHER "${l_Launcher}")
endif()
