# The WebAssembly decoder's sources, for scripts/build-web.sh: the song library and the sound engine
# as this build makes them, less what a page has no use for, with the drums' generator and the web's
# own stand-ins. Written to web-sources.txt in the build folder, one path a line, relative to the
# source tree, so that the web build follows the library's targets instead of a list of its own.

# The sources of p_Target that the source tree holds (none the build generates), relative to it.
function(tw_target_sources p_Target p_Out)
  get_target_property(l_Sources ${p_Target} SOURCES)
  get_target_property(l_Dir ${p_Target} SOURCE_DIR)
  set(l_Relative)
  foreach(l_Source IN LISTS l_Sources)
    cmake_path(ABSOLUTE_PATH l_Source BASE_DIRECTORY "${l_Dir}" NORMALIZE)
    cmake_path(IS_PREFIX PROJECT_BINARY_DIR "${l_Source}" l_Generated)
    if(l_Generated)
      continue()
    endif()
    cmake_path(RELATIVE_PATH l_Source BASE_DIRECTORY "${PROJECT_SOURCE_DIR}")
    list(APPEND l_Relative "${l_Source}")
  endforeach()
  set(${p_Out} "${l_Relative}" PARENT_SCOPE)
endfunction()

tw_target_sources(tunewright_objs l_Library)
tw_target_sources(tunewright_decoder l_Decoder)
tw_target_sources(tunewright_sound l_Engine)
tw_target_sources(tunewright_sound_kernels l_Kernels)
tw_target_sources(tunewright_samples l_Synthesis)
# The engine's outputs are the web's rows of their table (platform/fmodex/src/Outputs.txt), written
# into web-outputs/OutputRows.h in the build folder for scripts/build-web.sh to include.
tw_outputs(web l_WebOutputs)
foreach(l_Source IN LISTS l_WebOutputs_ALL_SOURCES)
  cmake_path(RELATIVE_PATH l_Source BASE_DIRECTORY "${PROJECT_SOURCE_DIR}")
  list(REMOVE_ITEM l_Engine "${l_Source}")
endforeach()
foreach(l_Source IN LISTS l_WebOutputs_SOURCES)
  cmake_path(RELATIVE_PATH l_Source BASE_DIRECTORY "${PROJECT_SOURCE_DIR}")
  list(APPEND l_Engine "${l_Source}")
endforeach()
tw_write_output_rows("${PROJECT_BINARY_DIR}/web-outputs/OutputRows.h" ${l_WebOutputs_ROWS})
set(l_Web ${l_Library} ${l_Decoder} ${l_Engine} ${l_Kernels})
# Left out: the sampler over the process's engine and its handles, SDL's clock and the sample-file
# loader (web/wasm stands in for that). The built-in bank is generated, so not listed: the web
# build makes its own from samplegen's melody source (its drums are made on demand).
list(FILTER l_Web EXCLUDE REGEX "(^|/)(Sampler|AudioHandles|OrgClockSdl|SoundLoader)\\.cpp$")
list(FILTER l_Synthesis INCLUDE REGEX "/(Dsp|Percussion)\\.cpp$")
file(GLOB l_WebOwn CONFIGURE_DEPENDS RELATIVE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/web/wasm/*.cpp")
list(APPEND l_Web ${l_Synthesis} source/decoder/DrumsOnDemand.cpp ${l_WebOwn})
string(JOIN "\n" l_Text ${l_Web})
file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/web-sources.txt" CONTENT "${l_Text}\n" @ONLY)
