# quill_load_on_demand(TARGET ID LIBRARY): TARGET loads the shared library LIBRARY (a file) the
# first time it calls one of its functions instead of at start
# (LibraryOnDemand.cpp beside this file): an entry for each function the library exports, listed
# here from the library, takes the calls, and --as-needed leaves the library out of the libraries
# the program loads at start. ID names the library's entries (a C identifier).
#
# quill_load_cups_on_demand(TARGET) does so for libcups. The quill command loads every library it
# does not need to read a PPD this way; the filter, whose command jobs need no libcups at all,
# loads libcups so. Where the entries cannot be made (not x86-64, no nm, a fuzzing build) the
# program links the library as usual.
#
# A library qualifies when the program calls only its functions: a program that takes the
# address of one of its data objects (a C++ vtable, a global) still needs it at start, and the
# entries then only add one jump to its calls.
include_guard(GLOBAL)

function(quill_load_on_demand target id library)
  get_property(made GLOBAL PROPERTY QUILL_ON_DEMAND_${id})
  if(NOT made)
    execute_process(COMMAND nm -D --defined-only ${library} OUTPUT_VARIABLE symbols
                    RESULT_VARIABLE nm_result)
    # The name the program opens: the library's own (libz.so.1 for libz.so).
    execute_process(COMMAND objdump -p ${library} OUTPUT_VARIABLE headers)
    string(REGEX MATCH "SONAME +([^ \n]+)" soname "${headers}")
    set(soname "${CMAKE_MATCH_1}")
    if(nm_result EQUAL 0 AND soname AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND NOT QUILL_FUZZ)
      string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z_][A-Za-z0-9_]*" functions "${symbols}")
      string(CONCAT source "// Made by CMake from the exports of ${library}.\n"
                 "#include \"LibraryOnDemand.h\"\n"
                 "QUILL_ON_DEMAND_LIBRARY(${id}, \"${soname}\")\n")
      foreach(entry ${functions})
        string(REGEX REPLACE "^[0-9a-f]+ T " "" function "${entry}")
        string(APPEND source "QUILL_ON_DEMAND_FUNCTION(${id}, ${function})\n")
      endforeach()
      set(made ${PROJECT_BINARY_DIR}/on-demand/${id}OnDemand.cpp)
      file(CONFIGURE OUTPUT ${made} CONTENT "${source}")
    else()
      set(made NONE)
    endif()
    set_property(GLOBAL PROPERTY QUILL_ON_DEMAND_${id} ${made})
  endif()
  if(made STREQUAL "NONE")
    return()
  endif()
  # The common resolver, once per program.
  get_target_property(common ${target} QUILL_LIBRARY_ON_DEMAND)
  if(NOT common)
    set_target_properties(${target} PROPERTIES QUILL_LIBRARY_ON_DEMAND ON)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/LibraryOnDemand.cpp)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
    target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})
    target_link_options(${target} PRIVATE -Wl,--as-needed)
  endif()
  target_sources(${target} PRIVATE ${made})
endfunction()

function(quill_load_cups_on_demand target)
  quill_load_on_demand(${target} cups ${CUPS_LIBRARIES})
endfunction()

# quill_lean_start(TARGET): what TARGET pays at every start, made small.
function(quill_lean_start target)
  # The C++ library linked in: loading and relocating the shared one costs a process that reads a
  # PPD about 50 page faults and a millisecond. Its symbols stay private (--exclude-libs), so that a
  # library loaded later that brings the shared one (the XML parser, a job-properties module) uses
  # that one whole; nothing of C++ crosses between them (their interfaces are C or plain pointers).
  # The sanitizer and fuzzing builds keep the shared one, which their run-time libraries expect.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT QUILL_SANITIZE AND NOT QUILL_FUZZ)
    target_link_options(${target} PRIVATE -static-libstdc++ -Wl,--exclude-libs,ALL)
  endif()
  # The program's own relocations packed (a few hundred bytes instead of some 140 KiB that the loader
  # reads at every start), where the linker and the C library know the packed form.
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-Wl,-z,pack-relative-relocs" QUILL_LINKER_PACKS_RELOCATIONS)
  if(QUILL_LINKER_PACKS_RELOCATIONS)
    target_link_options(${target} PRIVATE -Wl,-z,pack-relative-relocs)
  endif()
endfunction()
