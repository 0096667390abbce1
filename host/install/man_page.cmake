# Writes the man page of pellix from its --help with help2man, the help of each command added
# as a section of its own:  cmake -DPELLIX=... -DHELP2MAN=... -DOUTPUT=... -P man_page.cmake
set(include_file "${OUTPUT}.include")
file(WRITE "${include_file}" "[COMMANDS]\n")
foreach(command analyze params convert script panel typelib demo)
  execute_process(COMMAND "${PELLIX}" ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "pellix ${command} --help failed")
  endif()
  string(REPLACE "\\" "\\\\" help "${help}")
  file(APPEND "${include_file}" ".SS pellix ${command}\n.nf\n${help}\n.fi\n")
endforeach()
execute_process(
  COMMAND "${HELP2MAN}" --no-info --no-discard-stderr --section 1
          --name "voice-stress analysis control ALG_V1S and its host"
          --include "${include_file}" --output "${OUTPUT}" "${PELLIX}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed")
endif()
