# cmake --install puts the command, its man page and its bash completion in place, and with
# the desktop parts pellix-desk and the widget (Pellix::Widget), which a host outside the tree
# builds against and runs:
#   cmake -DBUILD=... -DPREFIX=... [-DDESKTOP=ON -DLIBDIR=lib -DINCLUDEDIR=include
#         -DCXX_COMPILER=... -DSOURCE=...] -P install_files.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file bin/pellix share/bash-completion/completions/pellix share/man/man1/pellix.1)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ "${PREFIX}/share/man/man1/pellix.1" page)
foreach(text "pellix analyze" "fixed-calibration" "Result codes")
  string(FIND "${page}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the man page lacks '${text}'")
  endif()
endforeach()

if(DESKTOP)
  foreach(file bin/pellix-desk ${LIBDIR}/libPellixWidget.so
          ${INCLUDEDIR}/pellix/widget/pellix_widget.h ${LIBDIR}/cmake/Pellix/PellixWidgetTargets.cmake)
    if(NOT EXISTS "${PREFIX}/${file}")
      message(FATAL_ERROR "not installed: ${file}")
    endif()
  endforeach()
  # The widget's header needs only Qt and Pellix.h: nothing of the control's insides is
  # installed, so the host below builds only if the header reaches for none of them.
  file(GLOB_RECURSE insides RELATIVE "${PREFIX}/${INCLUDEDIR}" "${PREFIX}/${INCLUDEDIR}/pellix/*")
  list(FILTER insides EXCLUDE REGEX "^pellix/widget/pellix_widget\\.h$")
  if(insides)
    message(FATAL_ERROR "installed beside the widget's header: ${insides}")
  endif()
  set(host "${PREFIX}/../widget_host")
  file(REMOVE_RECURSE "${host}")
  foreach(step
      "${CMAKE_COMMAND};-S;${SOURCE}/tests/install/widget_host;-B;${host};-G;Ninja;-DCMAKE_CXX_COMPILER=${CXX_COMPILER};-DCMAKE_PREFIX_PATH=${PREFIX}"
      "${CMAKE_COMMAND};--build;${host}")
    execute_process(COMMAND ${step} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "the widget host does not build against the installed files:\n${out}")
    endif()
  endforeach()
  # PRELOAD: the sanitizer runtimes an instrumented installed library needs loaded first. The
  # host is not checked for leaks: Qt's process-wide caches would drown anything it found.
  set(preload_env "")
  if(PRELOAD)
    set(preload_env "LD_PRELOAD=${PRELOAD}" "ASAN_OPTIONS=detect_leaks=0")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${preload_env}
                          "${host}/widget_host"
                  RESULT_VARIABLE status OUTPUT_VARIABLE shown)
  if(NOT status EQUAL 0 OR NOT shown STREQUAL "7\n")
    message(FATAL_ERROR "the installed widget showed '${shown}' (status ${status}), not 7")
  endif()
endif()
