# talmer_add_unit_test(NAME sources... LIBS libs...)
#   A GoogleTest executable whose tests are registered with CTest.
# talmer_add_e2e_test(NAME sources...)
#   An end-to-end test executable: it runs the built programs through the
#   harness of e2e/ and carries the label "e2e", so that the same cases can be
#   run against another build of the programs (the Windows one under Wine).
function(talmer_add_unit_test name)
  if(NOT TALMER_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main
                                        Threads::Threads)
  gtest_discover_tests(${name} PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
endfunction()

function(talmer_add_e2e_test name)
  if(NOT TALMER_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE e2e_harness GTest::gtest GTest::gtest_main
                                        Threads::Threads)
  # The programs must be built before their tests run.
  add_dependencies(${name} fiscal_menu request_results plain_receipt modem_link
                   status_callback status_event)
  gtest_discover_tests(${name} PROPERTIES LABELS e2e DISCOVERY_TIMEOUT 60)
endfunction()
