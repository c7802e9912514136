# Builds each layer probe (talmer_add_layer_probe) and fails unless every one
# of them is refused by the compiler with the message of an inside header.
foreach(probe IN LISTS PROBES)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${probe}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    message(FATAL_ERROR "${probe} compiled: a layer reaches a header it must not know")
  endif()
  if(NOT output MATCHES "This header is inside")
    message(FATAL_ERROR "${probe} failed for another reason:\n${output}")
  endif()
  message(STATUS "${probe}: refused, as it should be")
endforeach()
