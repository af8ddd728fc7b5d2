# Shared helpers for the targets of this tree.

# A shared library of the program folder: hidden visibility and an export
# header <name>_export.h with the macro <NAME>_EXPORT.
function(kb_add_shared_library target)
  cmake_parse_arguments(ARG "" "EXPORT_BASE" "" ${ARGN})
  add_library(${target} SHARED ${ARG_UNPARSED_ARGUMENTS})
  if(NOT ARG_EXPORT_BASE)
    set(ARG_EXPORT_BASE ${target})
  endif()
  string(TOLOWER ${ARG_EXPORT_BASE} base)
  string(TOUPPER ${ARG_EXPORT_BASE} BASE)
  generate_export_header(${target}
    BASE_NAME ${BASE}
    EXPORT_FILE_NAME ${CMAKE_CURRENT_BINARY_DIR}/${base}_export.h)
  target_include_directories(${target} PUBLIC
    ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR})
  set_target_properties(${target} PROPERTIES
    BUILD_RPATH "\$ORIGIN"
    INSTALL_RPATH "\$ORIGIN")
endfunction()

# A module library as the host loads it: lib<OUTPUT_NAME>.so (the target's
# name by default) in DIRECTORY (the program folder's Modules/ by default),
# finding the program folder's libraries through $ORIGIN/.. . The modules,
# the host tests' fixture modules and the benchmark's module all use it.
#   kb_add_module(<target> [OUTPUT_NAME <name>] [DIRECTORY <dir>] <sources>...)
function(kb_add_module target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;DIRECTORY" "" ${ARGN})
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME ${target})
  endif()
  if(NOT ARG_DIRECTORY)
    set(ARG_DIRECTORY ${KB_MODULES_DIR})
  endif()
  add_library(${target} MODULE ${ARG_UNPARSED_ARGUMENTS})
  # Without this, template statics marked unique by g++ keep a library
  # loaded after its last unload, and a module could never be loaded afresh.
  target_compile_options(${target} PRIVATE -fno-gnu-unique)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${ARG_OUTPUT_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${ARG_DIRECTORY}
    PREFIX "lib"
    SUFFIX ".so"
    BUILD_RPATH "\$ORIGIN/.."
    INSTALL_RPATH "\$ORIGIN/..")
endfunction()

# A GoogleTest executable (tests/<name>) whose cases CTest lists one by one.
function(kb_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kb_testmain ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT ${KB_TEST_TIMEOUT})
endfunction()

# One test executable per name in TESTS, from <name>.cpp in the calling
# folder, linked with LIBS.
function(kb_add_tests)
  cmake_parse_arguments(ARG "" "" "TESTS;LIBS" ${ARGN})
  foreach(name IN LISTS ARG_TESTS)
    kb_add_test(${name} SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp LIBS ${ARG_LIBS})
  endforeach()
endfunction()

# A benchmark program in bench/bin, which `./setup.sh bench` runs. Left out
# of the default build (and so of a plain test run); the target kb_bench
# builds them all.
function(kb_add_bench name)
  add_executable(${name} EXCLUDE_FROM_ALL ${ARGN})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/bin)
  add_dependencies(kb_bench ${name})
endfunction()
