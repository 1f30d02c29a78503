# cmake -DCTEST=... -DBUILD_DIR=... -DWANTED=a,b -P check_test_labels.cmake
# Each label of a binary that carries several must find its tests, and each
# test keeps its timeout (without one, a hang waits ctest's 1500 s).
cmake_minimum_required(VERSION 3.19)
string(REPLACE "," ";" wanted "${WANTED}")
foreach(label IN LISTS wanted)
  execute_process(COMMAND "${CTEST}" --show-only=json-v1 -L "^${label}$"
                  WORKING_DIRECTORY "${BUILD_DIR}" OUTPUT_VARIABLE json COMMAND_ERROR_IS_FATAL ANY)
  string(JSON tests LENGTH "${json}" tests)
  string(REGEX MATCHALL "\"name\" : \"TIMEOUT\"" timeouts "${json}")
  list(LENGTH timeouts timed)
  if(tests EQUAL 0 OR NOT timed EQUAL tests)
    message(FATAL_ERROR "ctest -L ${label}: ${tests} tests, ${timed} of them with a timeout")
  endif()
endforeach()
