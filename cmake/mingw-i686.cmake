# Cross-compiling for Windows with Debian's mingw-w64 (i686, posix threads so std::thread works):
# the package's build. TUNEWRIGHT_WINDOWS_DEPS names the prefix that scripts/build-windows-deps.sh
# filled.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TUNEWRIGHT_MINGW_TRIPLE i686-w64-mingw32)
# Floating point in SSE2 registers, rounded to its type at every step as on x86-64, instead of on
# the x87 unit with excess precision: a song renders to the same samples on every platform. Every
# processor since 2003 has SSE2, and Windows 7 requires it.
# Windows enters a 32-bit program (thread starts, WinMain, window and sound callbacks) with its
# stack aligned to 4 bytes only: every function that keeps vectors on the stack realigns it.
# Code and data that nothing references are left out of the link.
set(l_Flags "-msse2 -mfpmath=sse -mincoming-stack-boundary=2 -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "${l_Flags}")
set(CMAKE_CXX_FLAGS_INIT "${l_Flags}")
# -O2 rather than -O3 (the mixer's kernels are written out by hand), for a smaller package. (The
# compiler's defaults would be appended to *_INIT, so the cache entries are set.)
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
# Each program and library carries the parts of the C++ and GCC runtimes it uses, instead of the
# package shipping those runtimes' DLLs whole.
foreach(l_Kind EXE SHARED MODULE)
  set(CMAKE_${l_Kind}_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,--gc-sections")
endforeach()
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
