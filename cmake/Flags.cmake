# Compiler flags shared by every target of the project.
add_compile_options(-Wall -Wextra)
if(TUNEWRIGHT_WERROR)
  add_compile_options(-Werror)
endif()

if(TUNEWRIGHT_SANITIZE)
  set(l_Sanitize "${TUNEWRIGHT_SANITIZE}")
  # gcc's UBSan cannot see a float converted to an integer that cannot hold it; clang's can.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND l_Sanitize MATCHES "undefined")
    string(APPEND l_Sanitize ",float-cast-overflow")
  endif()
  add_compile_options(-fsanitize=${l_Sanitize} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${l_Sanitize})
  # A C program that links the library needs the sanitizers' C++ runtime too (the C++ checks' type
  # information, operator new), which clang adds to a C link only when asked.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_link_options("$<$<LINK_LANGUAGE:C>:-fsanitize-link-c++-runtime;-lstdc++>")
  endif()
endif()

# Only what a header marks for export leaves a shared library.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
