# cmake --install copies what the build made and builds nothing. After a build of one target
# (scripts/demo.sh builds only pellix) it would stop at the first library missing with a bare
# "cannot find": this first install step names what is missing and the command that builds it.
# Included before every other install rule, which run in the order they are declared.
set(pellix_installed_targets pellix Pellix PellixAnalysis)
if(PELLIX_DESKTOP)
  list(APPEND pellix_installed_targets pellix-desk PellixWidget)
endif()
set(pellix_installed_files "")
foreach(target IN LISTS pellix_installed_targets)
  string(APPEND pellix_installed_files " \"$<TARGET_FILE:${target}>\"")
endforeach()
install(CODE "
  foreach(file IN ITEMS ${pellix_installed_files})
    if(NOT EXISTS \"\${file}\")
      message(FATAL_ERROR \"\${file} is not built: build everything before installing, \"
                          \"with scripts/build.sh ${PROJECT_BINARY_DIR} or \"
                          \"cmake --build ${PROJECT_BINARY_DIR}\")
    endif()
  endforeach()")
