# A library a program loads only when it first calls one of its functions
# (platform/on_demand_library.h), so that the program's other commands start without it and
# the libraries it brings.
#
# pellix_link_on_demand(TARGET SCOPE IMPORTED STANDINS SOURCE): links TARGET (with SCOPE, PUBLIC
# or PRIVATE) to IMPORTED, a library pkg_check_modules found (PkgConfig::CAIRO), or, for a program
# whose property PELLIX_LIBRARIES_ON_DEMAND is on, to STANDINS, a library built here from SOURCE
# whose functions stand in for IMPORTED's. Both compile against IMPORTED's headers.
function(pellix_link_on_demand target scope imported standins source)
  set(headers "$<TARGET_PROPERTY:${imported},INTERFACE_INCLUDE_DIRECTORIES>")
  add_library(${standins} STATIC ${source})
  target_include_directories(${standins} PRIVATE "${headers}")
  target_link_libraries(${standins} PRIVATE pellix_platform)
  set_target_properties(${standins} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${target} ${scope} "${headers}")
  target_link_libraries(${target} ${scope}
    "$<IF:$<BOOL:$<TARGET_PROPERTY:PELLIX_LIBRARIES_ON_DEMAND>>,${standins},${imported}>")
endfunction()
