# tw_add_gtest(NAME SOURCES a.cpp b.cpp LIBS x y LABELS l1 l2 [WORKDIR dir])
# One GoogleTest program, registered with CTest test by test.
function(tw_add_gtest p_Name)
  cmake_parse_arguments(l_Arg "" "WORKDIR" "SOURCES;LIBS;LABELS" ${ARGN})
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(${p_Name} ${l_Arg_SOURCES})
  target_link_libraries(${p_Name} PRIVATE GTest::gtest_main ${l_Arg_LIBS})
  if(NOT l_Arg_WORKDIR)
    set(l_Arg_WORKDIR "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  gtest_discover_tests(${p_Name}
    WORKING_DIRECTORY "${l_Arg_WORKDIR}"
    PROPERTIES LABELS "${l_Arg_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()
