# Runs the simulation host on SCENARIO and compares its output with EXPECTED;
# on a difference the output is left in ACTUAL and the diff is shown.
# The expected files are written with the default vendor id; a build for
# another vendor (VENDOR) prints its own id there.
execute_process(COMMAND "${HOST}" "${SCENARIO}"
                OUTPUT_VARIABLE actual ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "SimulationHost ended with ${status}: ${errors}")
endif()
file(READ "${EXPECTED}" expected)
string(REPLACE " vendor=65520 " " vendor=${VENDOR} " expected "${expected}")
if(NOT actual STREQUAL expected)
  file(WRITE "${ACTUAL}" "${actual}")
  execute_process(COMMAND diff -u "${EXPECTED}" "${ACTUAL}")
  message(FATAL_ERROR "output differs from ${EXPECTED} (actual output in ${ACTUAL})")
endif()
