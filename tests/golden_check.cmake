# Runs COMMAND with ARGS in WORKDIR and compares its standard output with EXPECTED.
# On a mismatch the output is written beside the expected file as .actual, for review
# and for scripts/accept-golden.
string(REPLACE "|" ";" ARGS "${ARGS}")
execute_process(COMMAND ${COMMAND} ${ARGS}
  WORKING_DIRECTORY ${WORKDIR}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "command failed (${rc}): ${err}")
endif()
file(READ ${EXPECTED} expected)
if(NOT out STREQUAL expected)
  file(WRITE ${EXPECTED}.actual "${out}")
  message(FATAL_ERROR "output differs from ${EXPECTED}; actual output in ${EXPECTED}.actual")
endif()
