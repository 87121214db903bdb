# The Windows builds of the third-party libraries, from the prefix that
# scripts/build-windows-deps.sh fills, under the same target names as pkg-config gives on Linux.
if(NOT TUNEWRIGHT_WINDOWS_DEPS OR NOT EXISTS "${TUNEWRIGHT_WINDOWS_DEPS}/.complete")
  message(FATAL_ERROR "TUNEWRIGHT_WINDOWS_DEPS must name a prefix built by scripts/build-windows-deps.sh")
endif()
set(l_Deps "${TUNEWRIGHT_WINDOWS_DEPS}")

# tw_windows_dep(NAME INCLUDES dirs LIBS libs [DEFINES defs])
function(tw_windows_dep p_Name)
  cmake_parse_arguments(l_Arg "" "" "INCLUDES;LIBS;DEFINES" ${ARGN})
  add_library(PkgConfig::${p_Name} INTERFACE IMPORTED GLOBAL)
  set_target_properties(PkgConfig::${p_Name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${l_Arg_INCLUDES}"
    INTERFACE_LINK_LIBRARIES "${l_Arg_LIBS}"
    INTERFACE_COMPILE_DEFINITIONS "${l_Arg_DEFINES}")
endfunction()

# SDL's header would rename every main to SDL_main and expect SDLmain's start-up code; the
# programs here have entries of their own (main, or the player's WinMain).
tw_windows_dep(SDL INCLUDES "${l_Deps}/include/SDL" LIBS "${l_Deps}/lib/libSDL.dll.a" DEFINES _SDL_main_h)
tw_windows_dep(SNDFILE INCLUDES "${l_Deps}/include" LIBS "${l_Deps}/lib/libsndfile.dll.a")
tw_windows_dep(PNG INCLUDES "${l_Deps}/include" LIBS "${l_Deps}/lib/libpng16.a;${l_Deps}/lib/libz.a")
if(TUNEWRIGHT_BUILD_PLAYER)
  tw_windows_dep(SDL_IMAGE INCLUDES "${l_Deps}/include/SDL"
    LIBS "${l_Deps}/lib/libSDL_image.a;PkgConfig::PNG;${l_Deps}/lib/libSDL.dll.a")
  tw_windows_dep(FTGL INCLUDES "${l_Deps}/include;${l_Deps}/include/freetype2"
    LIBS "${l_Deps}/lib/libftgl.a;${l_Deps}/lib/libfreetype.a;glu32;opengl32" DEFINES FTGL_LIBRARY_STATIC)
  find_package(OpenGL REQUIRED)
endif()

# The generators of the data (samples, theme, bank source) run on the build machine: they come
# from a native build of the tools, TUNEWRIGHT_HOST_TOOLS (its binary folder).
set(TUNEWRIGHT_HOST_TOOLS "" CACHE PATH "Binary folder of a native build holding samplegen, songgen and themegen")
function(tw_import_host_tool p_Name)
  set(l_Program "${TUNEWRIGHT_HOST_TOOLS}/tools/${p_Name}/${p_Name}")
  if(NOT EXISTS "${l_Program}")
    message(FATAL_ERROR "${p_Name} of the build machine not found at ${l_Program} (set TUNEWRIGHT_HOST_TOOLS)")
  endif()
  add_executable(${p_Name} IMPORTED GLOBAL)
  set_target_properties(${p_Name} PROPERTIES IMPORTED_LOCATION "${l_Program}")
endfunction()
