# Read by ctest (through TEST_INCLUDE_FILES) before it runs: adds one test
# per GoogleTest suite of the test binary, run under the emulator. Expects
# emulator, program and environment to be set.
execute_process(COMMAND ${emulator} ${program} --gtest_list_tests
                OUTPUT_VARIABLE listing RESULT_VARIABLE status ERROR_VARIABLE errors TIMEOUT 120)
string(REPLACE "\r" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(suites)
foreach(line IN LISTS lines)
  # Suite lines start in the first column and end in a dot (typed suites
  # carry a comment after it); test lines are indented.
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.( .*)?$")
    list(APPEND suites ${CMAKE_MATCH_1})
  endif()
endforeach()
if(NOT status EQUAL 0 OR NOT suites)
  # A binary that cannot list its tests must not pass as "no tests": this
  # test runs it whole and fails with its output.
  add_test(filelib_tests ${emulator} ${program})
  set_tests_properties(filelib_tests PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 900)
  return()
endif()
foreach(suite IN LISTS suites)
  add_test(filelib_tests.${suite} ${emulator} ${program} --gtest_filter=${suite}.*)
  set_tests_properties(filelib_tests.${suite} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 300)
endforeach()
