# Small helpers shared by every folder's CMakeLists.txt.

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
