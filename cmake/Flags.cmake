# Compiler flags shared by every target of the project.
add_compile_options(-Wall -Wextra)
if(TUNEWRIGHT_WERROR)
  add_compile_options(-Werror)
endif()

if(TUNEWRIGHT_SANITIZE)
  add_compile_options(-fsanitize=${TUNEWRIGHT_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TUNEWRIGHT_SANITIZE})
endif()

# Only what a header marks for export leaves a shared library.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
