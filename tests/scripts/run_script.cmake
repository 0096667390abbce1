# Runs one script through the pellix binary in a fresh folder and compares what it prints,
# byte for byte, with the expected output.
#
#   NAME.pellix           the script; a comment line "# expected exit status: N" sets the
#                         status it must end with (0 when absent)
#   NAME.expected.jsonl   what it must print on standard output
#   NAME.given.FILE       copied into the folder as FILE before the run
#   NAME.saved.FILE       what FILE in the folder must hold after the run
#
# Called as: cmake -DPELLIX=... -DSCRIPT=... -DWORK_DIR=... -P run_script.cmake
get_filename_component(dir "${SCRIPT}" DIRECTORY)
get_filename_component(name "${SCRIPT}" NAME_WE)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(GLOB given "${dir}/${name}.given.*")
foreach(file IN LISTS given)
  get_filename_component(file_name "${file}" NAME)
  string(REPLACE "${name}.given." "" target "${file_name}")
  file(COPY_FILE "${file}" "${WORK_DIR}/${target}")
endforeach()

set(expected_status 0)
file(STRINGS "${SCRIPT}" status_lines REGEX "^# expected exit status: [0-9]+")
if(status_lines)
  string(REGEX REPLACE "^# expected exit status: ([0-9]+).*" "\\1" expected_status
                       "${status_lines}")
endif()

set(actual "${WORK_DIR}.stdout")
execute_process(
  COMMAND "${PELLIX}" script "${SCRIPT}"
  WORKING_DIRECTORY "${WORK_DIR}"
  OUTPUT_FILE "${actual}"
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)

set(failed FALSE)
if(NOT status STREQUAL expected_status)
  message(SEND_ERROR "exit status ${status}, expected ${expected_status}; stderr: ${errors}")
  set(failed TRUE)
endif()
if(expected_status STREQUAL "0" AND NOT errors STREQUAL "")
  message(SEND_ERROR "unexpected standard error: ${errors}")
  set(failed TRUE)
elseif(NOT expected_status STREQUAL "0" AND errors STREQUAL "")
  message(SEND_ERROR "no message on standard error")
  set(failed TRUE)
endif()

function(compare expected actual_file what)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${expected}" "${actual_file}"
                  RESULT_VARIABLE different)
  if(different)
    find_program(DIFF diff)
    if(DIFF)
      execute_process(COMMAND "${DIFF}" -u "${expected}" "${actual_file}" OUTPUT_VARIABLE diff)
    else()
      file(READ "${actual_file}" diff)
    endif()
    message(SEND_ERROR "${what} differs from ${expected}:\n${diff}")
    set(failed TRUE PARENT_SCOPE)
  endif()
endfunction()

compare("${dir}/${name}.expected.jsonl" "${actual}" "standard output")
file(GLOB saved "${dir}/${name}.saved.*")
foreach(file IN LISTS saved)
  get_filename_component(file_name "${file}" NAME)
  string(REPLACE "${name}.saved." "" target "${file_name}")
  if(NOT EXISTS "${WORK_DIR}/${target}")
    message(SEND_ERROR "the script left no ${target}")
    set(failed TRUE)
  else()
    compare("${file}" "${WORK_DIR}/${target}" "${target}")
  endif()
endforeach()

if(failed)
  message(FATAL_ERROR "script ${name} failed")
endif()
