# Runs COMMAND with ARGS in WORKDIR and compares its standard output with EXPECTED.
# A cross-built program runs through EMULATOR (Wine), and its text output's CR LF line
# ends are read as LF.
# On a mismatch the output is written beside the expected file as .actual, for review
# and for scripts/accept-golden.
string(REPLACE "|" ";" ARGS "${ARGS}")
execute_process(COMMAND ${EMULATOR} ${COMMAND} ${ARGS}
  WORKING_DIRECTORY ${WORKDIR}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT DEFINED EXPECT_RC)
  set(EXPECT_RC 0)
endif()
if(NOT rc EQUAL EXPECT_RC)
  message(FATAL_ERROR "command ended with ${rc}, not ${EXPECT_RC}: ${err}")
endif()
if(EMULATOR)
  string(REPLACE "\r\n" "\n" out "${out}")
endif()
file(READ ${EXPECTED} expected)
if(NOT out STREQUAL expected)
  file(WRITE ${EXPECTED}.actual "${out}")
  message(FATAL_ERROR "output differs from ${EXPECTED}; actual output in ${EXPECTED}.actual")
endif()
