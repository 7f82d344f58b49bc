# Writes the manual page of veltrane-cli, which the tool makes from the same description
# of its commands and options as its --help:
#   cmake -DCLI=veltrane-cli -DOUT=veltrane-cli.1 -P manpage.cmake
execute_process(COMMAND ${CLI} --man OUTPUT_FILE ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "veltrane-cli --man ended with ${rc}")
endif()
