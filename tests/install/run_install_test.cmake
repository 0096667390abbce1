# Called as: cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DC_COMPILER=...
#                  -DCXX_COMPILER=... -DPKG_CONFIG=... [-DPRELOAD=...] -P run_install_test.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

# Fails unless `text`, what `who` printed, holds each of the remaining arguments.
function(expect_lines who text)
  foreach(line IN LISTS ARGN)
    string(FIND "${text}" "${line}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${who} printed no '${line}':\n${text}")
    endif()
  endforeach()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
set(samples "${SOURCE_DIR}/examples/samples")
set(host_env ${CMAKE_COMMAND} -E env --unset=PELLIX_LIBRARY "XDG_DATA_HOME=${WORK_DIR}/data")
if(PRELOAD)
  list(APPEND host_env "LD_PRELOAD=${PRELOAD}")
endif()

run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")

# The example hosts, consumers through find_package(Pellix), as the README builds them: the C
# host, the analysis's C host and the C++ host.
run(${CMAKE_COMMAND} -S "${SOURCE_DIR}/examples" -B "${WORK_DIR}/examples"
    -G Ninja -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    "-DCMAKE_PREFIX_PATH=${prefix}")
run(${CMAKE_COMMAND} --build "${WORK_DIR}/examples")
run(${host_env} "${WORK_DIR}/examples/c_host/pellix_c_host" "${samples}")
set(find_package_output "${output}")

# The same host through pkg-config.
run(${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${prefix}/lib/pkgconfig"
    ${PKG_CONFIG} --cflags --libs pellix)
separate_arguments(flags UNIX_COMMAND "${output}")
run(${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${prefix}/lib/pkgconfig"
    ${PKG_CONFIG} --variable=libdir pellix)
string(STRIP "${output}" libdir)
# No run path of the test's own: the one pellix.pc gives must find the prefix's library.
run(${C_COMPILER} -std=c99 -Wall -Wextra -Wpedantic -Werror
    "${SOURCE_DIR}/examples/c_host/main.c" ${flags} -o "${WORK_DIR}/pkg_config_host")
run(${host_env} "${WORK_DIR}/pkg_config_host" "${samples}")
set(pkg_config_output "${output}")

# The Python host over the installed package, pip-installed into a virtual environment that
# sees the system's packages: the package finds the installed libraries with no variable set.
run(/usr/bin/python3 -m venv --system-site-packages "${WORK_DIR}/venv")
run(${CMAKE_COMMAND} -E env PIP_NO_INDEX=1 PIP_DISABLE_PIP_VERSION_CHECK=1
    "${WORK_DIR}/venv/bin/python" -m pip install --quiet --no-build-isolation
    "${prefix}/share/pellix/python")
run(${host_env} ASAN_OPTIONS=detect_leaks=0 PYTHONDONTWRITEBYTECODE=1 --unset=PYTHONPATH
    --unset=PELLIX_ANALYSIS_LIBRARY
    "${WORK_DIR}/venv/bin/python"
    "${SOURCE_DIR}/examples/python_host/pellix_python_host.py" "${samples}")
set(python_output "${output}")

# The analysis through the installed package: a calibration and a check of recordings (lines
# rather than semicolons, which would split the program into arguments).
set(recordings "${SOURCE_DIR}/examples/recordings")
run(${host_env} ASAN_OPTIONS=detect_leaks=0 PYTHONDONTWRITEBYTECODE=1 --unset=PYTHONPATH
    --unset=PELLIX_ANALYSIS_LIBRARY
    "${WORK_DIR}/venv/bin/python" -c
    "import pellix, sys\ns = pellix.Speaker()\nprint(s.calibrate(sys.argv[1]).meaning, s.check(sys.argv[2]).code)"
    "${recordings}/alex_calibrate_1.wav" "${recordings}/alex_check_01.wav")
if(NOT output MATCHES "^accepted -?[0-9]\n$")
  message(FATAL_ERROR "the installed package's Speaker printed:\n${output}")
endif()

expect_lines("the C host" "${find_package_output}"
             "calibrated: CAL_spT=" "check 1: CR_msgX=" "check 2: CR_msgX=" "profile: DATAstr="
             "reloaded: CAL_spT=" "notifications: ")
if(NOT pkg_config_output STREQUAL find_package_output)
  message(FATAL_ERROR "pkg-config host:\n${pkg_config_output}\nfind_package host:\n${find_package_output}")
endif()
if(NOT python_output STREQUAL find_package_output)
  message(FATAL_ERROR "Python host:\n${python_output}\nC host:\n${find_package_output}")
endif()
message(STATUS "${find_package_output}")

# The C++ host (PellixPtr.hpp, prefixed names only) checks as the C host does, and hears the
# missing take's error 53 as an exception.
run(${host_env} "${WORK_DIR}/examples/cpp_host/pellix_cpp_host" "${samples}")
string(REGEX MATCH "check 1: [^\n]*\ncheck 2: [^\n]*\n" c_checks "${find_package_output}")
string(FIND "${output}" "${c_checks}" at)
if(c_checks STREQUAL "" OR at EQUAL -1 OR NOT output MATCHES "\nmissing take: error 53\n$")
  message(FATAL_ERROR "C++ host:\n${output}\nC host:\n${find_package_output}")
endif()

# The analysis's C interface: a consumer through find_package(Pellix) (Pellix::Analysis) and
# the same consumer through pkg-config (pellix-analysis) must print the same rows.
set(recordings "${SOURCE_DIR}/examples/recordings")
run(${host_env} "${WORK_DIR}/examples/c_analysis_host/pellix_c_analysis_host" "${recordings}"
    "${WORK_DIR}/find_package_alex.json")
set(analysis_find_package_output "${output}")
run(${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${prefix}/lib/pkgconfig"
    ${PKG_CONFIG} --cflags --libs pellix-analysis)
separate_arguments(flags UNIX_COMMAND "${output}")
run(${C_COMPILER} -std=c99 -Wall -Wextra -Wpedantic -Werror
    "${SOURCE_DIR}/examples/c_analysis_host/main.c" ${flags}
    -o "${WORK_DIR}/analysis_pkg_config_host")
run(${host_env} "${WORK_DIR}/analysis_pkg_config_host" "${recordings}"
    "${WORK_DIR}/pkg_config_alex.json")
expect_lines("the analysis host" "${analysis_find_package_output}"
             "calibrate: {" "check file: {" "check bytes: {" "check pcm: {" "profile: 0 (2 checks)"
             "history 1: code" "csv: speaker,role,file,")
if(NOT output STREQUAL analysis_find_package_output)
  message(FATAL_ERROR "pkg-config analysis host:\n${output}\nfind_package analysis host:\n${analysis_find_package_output}")
endif()
# The analysis library stands on its own: it draws nothing and needs no component; outside the
# sanitizer build (which preloads its runtimes), it loads libsndfile, libFLAC and libsoxr when
# a take first needs them.
find_program(READELF readelf REQUIRED)
run(${READELF} -d "${libdir}/libPellixAnalysis.so")
set(unneeded cairo Pellix.so)
if(NOT PRELOAD)
  list(APPEND unneeded sndfile FLAC soxr)
endif()
foreach(library IN LISTS unneeded)
  string(FIND "${output}" "${library}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "libPellixAnalysis.so needs ${library}:\n${output}")
  endif()
endforeach()
