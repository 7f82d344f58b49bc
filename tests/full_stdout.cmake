# Runs COMMAND with ARGS writing standard output to /dev/full: the command must fail
# (exit 1) and say so, never report success for output that was lost.
string(REPLACE "|" ";" ARGS "${ARGS}")
execute_process(COMMAND ${COMMAND} ${ARGS} WORKING_DIRECTORY ${WORKDIR}
  OUTPUT_FILE /dev/full ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "exit ${rc} with standard output full, not 1: ${err}")
endif()
if(NOT err MATCHES "cannot write standard output")
  message(FATAL_ERROR "no message about standard output: ${err}")
endif()
