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

# A plug-in module library: Modules/lib<Name>.so in the program folder,
# finding the program folder's libraries through $ORIGIN/..
function(kb_add_module target)
  add_library(${target} MODULE ${ARGN})
  # Without this, template statics marked unique by g++ keep a library
  # loaded after dlclose, and a module could never be loaded afresh.
  target_compile_options(${target} PRIVATE -fno-gnu-unique)
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${KB_MODULES_DIR}
    PREFIX "lib"
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
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 120)
endfunction()

# One test executable per tst_*.cpp in the calling folder, linked with LIBS.
function(kb_add_tests_in_folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(src IN LISTS tests)
    get_filename_component(name ${src} NAME_WE)
    kb_add_test(${name} SOURCES ${src} LIBS ${ARG_LIBS})
  endforeach()
endfunction()
