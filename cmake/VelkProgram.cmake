# velk_add_program(<name> SOURCES <files...> [CORE <object library>] [LIBRARIES <libs...>])
#
# A stand program, compiled once and linked twice:
#   <name>     bin/<name>, against the simulated stand (when VELK_SIM is on);
#   <name>_hw  hw/<name>, against the real bcm2835 library, for the Raspberry Pi
#              (when VELK_HW is on and the library is installed).
# The programs include only bcm2835.h, so the same objects serve both links.
# The simulated build installs to bin (component "sim"); the hardware build
# only on request, to a prefix of its own: cmake --install <dir> --component hardware --prefix <dir>.
include(GNUInstallDirs)

function(velk_add_program name)
  cmake_parse_arguments(P "" "CORE" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT P_SOURCES)
    message(FATAL_ERROR "velk_add_program(${name}): no SOURCES")
  endif()
  add_library(${name}_objects OBJECT ${P_SOURCES})
  target_link_libraries(${name}_objects PUBLIC ${P_CORE})
  target_include_directories(${name}_objects PUBLIC ${BCM2835_INCLUDE_DIR})
  # Object libraries hand their objects only to direct dependents.
  set(objects ${name}_objects ${P_CORE})

  if(VELK_SIM)
    add_executable(${name})
    target_link_libraries(${name} PRIVATE ${objects} velk_sim ${P_LIBRARIES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
  endif()

  if(VELK_HW AND BCM2835_LIBRARY)
    add_executable(${name}_hw)
    target_link_libraries(${name}_hw PRIVATE ${objects} ${BCM2835_LIBRARY} Threads::Threads m ${P_LIBRARIES})
    set_target_properties(${name}_hw PROPERTIES OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/hw)
    install(TARGETS ${name}_hw RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT hardware EXCLUDE_FROM_ALL)
  endif()
endfunction()
