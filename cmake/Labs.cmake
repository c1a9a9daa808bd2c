# Small helpers shared by every folder's CMakeLists.txt.

# How the deliverables are built. ./labs check builds a student's sources with these same
# options (there a warning stays a warning, and the build type's debug information is added).
# Every example: without optimisation, so that what students read is what runs.
set(LABS_EXAMPLE_OPTIONS -O0 -Wall -Wextra)
# The record libraries: no exceptions or run-time type information, and no start-up code or
# library named that they need: malloc, printf and the rest come from the loading program.
set(LABS_RECORD_LIBRARY_OPTIONS -fno-exceptions -fno-rtti)
set(LABS_RECORD_LIBRARY_LINK_OPTIONS -nostdlib)

# labs_record_library(NAME source...): a record library built as above, exporting only its
# API (the functions its header marks), with its own folder's headers for its users.
function(labs_record_library name)
  add_library(${name} SHARED ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}
                                     PRIVATE ${CMAKE_SOURCE_DIR}/common)
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden LINKER_LANGUAGE CXX)
  target_compile_options(${name} PRIVATE ${LABS_RECORD_LIBRARY_OPTIONS})
  target_link_options(${name} PRIVATE ${LABS_RECORD_LIBRARY_LINK_OPTIONS})
endfunction()

# labs_add_test(NAME source... [LIBS lib...] [NEEDS target...])
# A GoogleTest executable linked with the process harness; NEEDS names the
# deliverables it runs, so they are built before it.
function(labs_add_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;NEEDS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE labs_harness GTest::gtest_main ${ARG_LIBS})
  if(ARG_NEEDS)
    add_dependencies(${name} ${ARG_NEEDS})
  endif()
  # Parameterised cases are named by their own name generators; the value is not repeated.
  # Each case writes down the deliverables it names (LABS_CENSUS); the case table's test
  # runs after all of them and holds ./labs check's table against that list.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT LABS_CENSUS=${CMAKE_BINARY_DIR}/census FIXTURES_REQUIRED census)
endfunction()
