# tw_find_gtest(): GoogleTest's targets GTest::gtest and GTest::gtest_main. A cross build for
# Windows compiles them from the sources Debian's libgtest-dev ships (which name them so).
macro(tw_find_gtest)
  if(NOT TARGET GTest::gtest AND CMAKE_CROSSCOMPILING AND WIN32)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
    target_compile_options(gtest PRIVATE -w)
    target_compile_options(gtest_main PRIVATE -w)
  elseif(NOT TARGET GTest::gtest)
    find_package(GTest REQUIRED)
  endif()
endmacro()

# tw_add_gtest(NAME SOURCES a.cpp b.cpp LIBS x y LABELS l1 l2 [WORKDIR dir])
# One GoogleTest program, registered with CTest test by test, and once more as a whole with its tests in a shuffled order (labels "shuffled" and its
# own), so that no test can depend on another having run before it. scripts/run-tests.sh runs the
# first in the plain build and the second under the sanitizers.
function(tw_add_gtest p_Name)
  cmake_parse_arguments(l_Arg "" "WORKDIR" "SOURCES;LIBS;LABELS" ${ARGN})
  tw_find_gtest()
  include(GoogleTest)
  add_executable(${p_Name} ${l_Arg_SOURCES})
  target_link_libraries(${p_Name} PRIVATE GTest::gtest_main ${l_Arg_LIBS})
  if(NOT l_Arg_WORKDIR)
    set(l_Arg_WORKDIR "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  # A cross build lists its tests when they run (under the emulator), not while it builds.
  set(l_Discovery POST_BUILD)
  if(CMAKE_CROSSCOMPILING)
    set(l_Discovery PRE_TEST)
  endif()
  gtest_discover_tests(${p_Name}
    WORKING_DIRECTORY "${l_Arg_WORKDIR}"
    DISCOVERY_MODE ${l_Discovery}
    PROPERTIES LABELS "${l_Arg_LABELS}"
    DISCOVERY_TIMEOUT 60)
  add_test(NAME ${p_Name}.shuffled COMMAND ${p_Name} --gtest_shuffle WORKING_DIRECTORY "${l_Arg_WORKDIR}")
  set_tests_properties(${p_Name}.shuffled PROPERTIES LABELS "shuffled;${l_Arg_LABELS}")
endfunction()
