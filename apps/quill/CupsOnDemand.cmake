# quill_load_cups_on_demand(TARGET): TARGET loads libcups the first time it calls one of its
# functions instead of at start (CupsOnDemand.cpp beside this file): an entry for each function
# libcups exports, listed here from the library, takes the calls, and --as-needed leaves libcups
# out of the libraries the program loads at start. Used by the quill command and by the filter,
# whose command jobs need no libcups at all. Where the entries cannot be made (not x86-64, no nm,
# a fuzzing build) the program links libcups as usual.
include_guard(GLOBAL)

function(quill_load_cups_on_demand target)
  get_property(made GLOBAL PROPERTY QUILL_CUPS_FUNCTIONS_DIR)
  if(NOT made)
    execute_process(COMMAND nm -D --defined-only ${CUPS_LIBRARIES} OUTPUT_VARIABLE cups_symbols
                    RESULT_VARIABLE cups_nm_result)
    if(cups_nm_result EQUAL 0 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND NOT QUILL_FUZZ)
      string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z_][A-Za-z0-9_]*" cups_functions "${cups_symbols}")
      set(cups_inc "// Made by CMake from the exports of ${CUPS_LIBRARIES}.\n")
      foreach(entry ${cups_functions})
        string(REGEX REPLACE "^[0-9a-f]+ T " "" function "${entry}")
        string(APPEND cups_inc "QUILL_CUPS_FUNCTION(${function})\n")
      endforeach()
      set(dir ${PROJECT_BINARY_DIR}/cups-on-demand)
      file(CONFIGURE OUTPUT ${dir}/CupsFunctions.inc CONTENT "${cups_inc}")
      set(made ${dir})
    else()
      set(made NONE)
    endif()
    set_property(GLOBAL PROPERTY QUILL_CUPS_FUNCTIONS_DIR ${made})
  endif()
  if(made STREQUAL "NONE")
    return()
  endif()
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CupsOnDemand.cpp)
  target_include_directories(${target} PRIVATE ${made})
  target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})
  target_link_options(${target} PRIVATE -Wl,--as-needed)
endfunction()
