# scripts/quietly.sh, which the demo builds through: the build's lines go to the log and not to
# the reader; a failed build shows the end of the log and ends with the build's status.
#   cmake -DSOURCE=... -DWORK=... -P quietly_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(case "0;[1/3] a|[2/3] b|[3/3] c" "3;[1/2] a|error: boom")
  list(GET case 0 status)
  list(GET case 1 lines)
  string(REPLACE "|" "\\n" printed "${lines}")
  execute_process(
    COMMAND "${SOURCE}/scripts/quietly.sh" "${WORK}/log/${status}.log" "Building"
            bash -c "printf '${printed}\\n'; exit ${status}"
    RESULT_VARIABLE got OUTPUT_VARIABLE out ERROR_VARIABLE err)
  file(READ "${WORK}/log/${status}.log" log)
  string(REPLACE "|" "\n" logged "${lines}")
  if(NOT got EQUAL status OR NOT out STREQUAL "" OR NOT log STREQUAL "${logged}\n")
    message(FATAL_ERROR "status ${got} (wanted ${status}), printed '${out}', logged '${log}'")
  endif()
  if(status EQUAL 0 AND NOT err MATCHES "^Building \\(its output goes to [^\n]*\\) \\.\\.\\.\nBuilding: done in [0-9]+ s\n$")
    message(FATAL_ERROR "a good build told: '${err}'")
  endif()
  if(NOT status EQUAL 0 AND NOT err MATCHES "Building failed \\(status 3\\)[^\n]*\n\\[1/2\\] a\nerror: boom\n$")
    message(FATAL_ERROR "a failed build told: '${err}'")
  endif()
endforeach()
