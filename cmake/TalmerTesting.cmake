# talmer_add_unit_test(NAME sources... LIBS libs...)
#   A GoogleTest executable whose tests are registered with CTest.
# talmer_add_e2e_test(NAME sources... [OWN_PRINTERS])
#   An end-to-end test executable: it runs the built programs through the
#   harness of e2e/ and carries the label "e2e", so that the same cases can be
#   run against another build of the programs (the Windows one under Wine).
#   Where talmer_printer is built, its cases run a second time over the link
#   (named "link/...", label "e2e-link"), each run with a printer process of its
#   own; OWN_PRINTERS: the tests start the printers they need themselves.
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
  cmake_parse_arguments(ARG "OWN_PRINTERS" "" "" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE e2e_harness GTest::gtest GTest::gtest_main
                                        Threads::Threads)
  # The programs must be built before their tests run.
  add_dependencies(${name} fiscal_menu request_results plain_receipt modem_link
                   status_callback status_event)
  gtest_discover_tests(${name} PROPERTIES LABELS e2e DISCOVERY_TIMEOUT 60)
  if(TARGET talmer_printer)
    add_dependencies(${name} talmer_printer)
    if(NOT ARG_OWN_PRINTERS)
      gtest_discover_tests(${name} TEST_PREFIX "link/" DISCOVERY_TIMEOUT 60
                           PROPERTIES LABELS e2e-link ENVIRONMENT TALMER_E2E_PRINTER=1)
    endif()
  endif()
endfunction()

# talmer_add_layer_probe(NAME HEADER header LIBS libs...)
#   A source that includes a header its target must not reach, compiled with
#   the usage requirements of LIBS. The probes are built only by the test
#   "layers", which passes when each of them fails to compile with the
#   header's message: the build keeps the layers.
function(talmer_add_layer_probe name)
  if(NOT TALMER_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "HEADER" "LIBS" ${ARGN})
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
  file(WRITE ${source} "#include \"${ARG_HEADER}\"\nint main() { return 0; }\n")
  add_executable(${name} EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_property(GLOBAL APPEND PROPERTY TALMER_LAYER_PROBES ${name})
endfunction()

function(talmer_add_layer_test)
  if(NOT TALMER_BUILD_TESTS)
    return()
  endif()
  get_property(probes GLOBAL PROPERTY TALMER_LAYER_PROBES)
  add_test(NAME layers
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   "-DPROBES=${probes}" -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake)
  set_tests_properties(layers PROPERTIES LABELS unit RUN_SERIAL TRUE)
endfunction()
