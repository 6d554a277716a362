# Run by CTest before the tests (see tests/CMakeLists.txt): adds one test per GoogleTest suite of
# TEST_BINARY, named after the suite, so a process starts per suite rather than per case. The
# suites are listed at that moment, so a new case needs no reconfigure; GoogleTest names each
# failing case in the output.
#
# Inputs: TEST_BINARY, TEST_WORKING_DIRECTORY.
if(NOT EXISTS "${TEST_BINARY}")
  add_test(unit_tests_NOT_BUILT "${TEST_BINARY}")
  return()
endif()
execute_process(COMMAND "${TEST_BINARY}" --gtest_list_tests
  OUTPUT_VARIABLE listing RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
  add_test(unit_tests_NOT_LISTED "${TEST_BINARY}" --gtest_list_tests)
  return()
endif()
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  # A suite's line starts in the first column and ends its name with a dot; a typed suite's line
  # goes on with "  # TypeParam = ...".
  if(line MATCHES "^([A-Za-z_][A-Za-z0-9_/]*)\\.( |$)")
    set(suite "${CMAKE_MATCH_1}")
    add_test("${suite}" "${TEST_BINARY}" "--gtest_filter=${suite}.*")
    set_tests_properties("${suite}" PROPERTIES WORKING_DIRECTORY "${TEST_WORKING_DIRECTORY}")
  endif()
endforeach()
