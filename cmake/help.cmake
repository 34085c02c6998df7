# The help compiler runs at build time, so it must run on the build machine.
# Natively it is a target of this tree. A cross build compiles tools/helpc a
# second time as a project of its own with the host's compiler (an external
# project gets none of this tree's toolchain settings), into helpc-host/.
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(LUMIRUN_HELPC ${CMAKE_BINARY_DIR}/helpc-host/lumirun-helpc)
  ExternalProject_Add(lumirun_helpc_host
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/helpc
    BINARY_DIR ${CMAKE_BINARY_DIR}/helpc-host
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DLUMIRUN_WERROR=${LUMIRUN_WERROR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS TRUE
    BUILD_BYPRODUCTS ${LUMIRUN_HELPC})
  set(LUMIRUN_HELPC_TARGET lumirun_helpc_host)
else()
  set(LUMIRUN_HELPC $<TARGET_FILE:lumirun-helpc>)
  set(LUMIRUN_HELPC_TARGET lumirun-helpc)
endif()

set(LUMIRUN_HELP_SOURCE ${PROJECT_SOURCE_DIR}/resources/help/lumirun_help.txt)

# lumirun_help(DIRECTORY): lumirun.hlp and lumirun-help.html compiled into
# DIRECTORY on every build where the source or the compiler changed.
function(lumirun_help directory)
  set(outputs ${directory}/lumirun.hlp ${directory}/lumirun-help.html)
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${LUMIRUN_HELPC} ${LUMIRUN_HELP_SOURCE} ${outputs}
    DEPENDS ${LUMIRUN_HELP_SOURCE} ${LUMIRUN_HELPC_TARGET} ${LUMIRUN_HELPC}
    COMMENT "Compiling the help: lumirun.hlp, lumirun-help.html"
    VERBATIM)
  add_custom_target(lumirun_help ALL DEPENDS ${outputs})
endfunction()
