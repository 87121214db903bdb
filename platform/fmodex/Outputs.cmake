# The engine's outputs, from their one table (src/Outputs.txt): for a platform, the back ends'
# sources, what they need from the system, and OutputRows.h, the rows that Outputs.cpp looks the
# output types up in.

# The platform this build is for, as the table names it.
if(WIN32)
  set(TW_OUTPUT_PLATFORM windows)
else()
  set(TW_OUTPUT_PLATFORM linux)
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/src/Outputs.txt")

# tw_outputs(PLATFORM PREFIX): reads the table's rows for PLATFORM into PREFIX_SOURCES (the back
# ends' sources, absolute, each once), PREFIX_LINKS, PREFIX_HEADERS (pkg-config modules) and
# PREFIX_ROWS (the lines of OutputRows.h); PREFIX_ALL_SOURCES holds every platform's sources.
function(tw_outputs p_Platform p_Prefix)
  set(l_Dir "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/src")
  file(STRINGS "${l_Dir}/Outputs.txt" l_Lines REGEX "^[A-Z]")
  set(l_Sources)
  set(l_All)
  set(l_Links)
  set(l_Headers)
  set(l_Rows)
  foreach(l_Line IN LISTS l_Lines)
    string(REGEX REPLACE "[ \t]+" ";" l_Row "${l_Line}")
    list(POP_FRONT l_Row l_Type l_Clock l_Name l_Platforms)
    if(NOT l_Clock MATCHES "^(realtime|offline)$" OR NOT EXISTS "${l_Dir}/Output${l_Name}.cpp")
      message(FATAL_ERROR "src/Outputs.txt: the row '${l_Line}' needs a clock (realtime or offline) "
        "and a back end whose source src/Output${l_Name}.cpp exists")
    endif()
    list(APPEND l_All "${l_Dir}/Output${l_Name}.cpp")
    string(REPLACE "," ";" l_Platforms "${l_Platforms}")
    if(NOT p_Platform IN_LIST l_Platforms)
      continue()
    endif()
    list(APPEND l_Sources "${l_Dir}/Output${l_Name}.cpp")
    if(l_Clock STREQUAL realtime)
      list(APPEND l_Rows "TW_OUTPUT(${l_Type}, true, ${l_Name})")
    else()
      list(APPEND l_Rows "TW_OUTPUT(${l_Type}, false, ${l_Name})")
    endif()
    foreach(l_Need IN LISTS l_Row)
      if(l_Need MATCHES "^link:(.+)$")
        list(APPEND l_Links "${CMAKE_MATCH_1}")
      elseif(l_Need MATCHES "^headers:(.+)$")
        list(APPEND l_Headers "${CMAKE_MATCH_1}")
      else()
        message(FATAL_ERROR "src/Outputs.txt: '${l_Need}' is neither link:LIBRARY nor headers:MODULE")
      endif()
    endforeach()
  endforeach()
  foreach(l_List IN ITEMS l_Sources l_All l_Links l_Headers)
    list(REMOVE_DUPLICATES ${l_List})
  endforeach()
  set(${p_Prefix}_SOURCES "${l_Sources}" PARENT_SCOPE)
  set(${p_Prefix}_ALL_SOURCES "${l_All}" PARENT_SCOPE)
  set(${p_Prefix}_LINKS "${l_Links}" PARENT_SCOPE)
  set(${p_Prefix}_HEADERS "${l_Headers}" PARENT_SCOPE)
  set(${p_Prefix}_ROWS "${l_Rows}" PARENT_SCOPE)
endfunction()

# tw_write_output_rows(FILE ROWS...): writes OutputRows.h (rewritten only when it changes).
function(tw_write_output_rows p_File)
  string(JOIN "\n" l_Rows ${ARGN})
  file(CONFIGURE OUTPUT "${p_File}" CONTENT
    "// The outputs of this build, one TW_OUTPUT(type, real time, back end) each, in the order of\n// platform/fmodex/src/Outputs.txt, from which CMake writes them.\n${l_Rows}\n" @ONLY)
endfunction()
