# lumirun_windows_resources(TARGET DESCRIPTION): gives a Windows executable
# its version resource (the project's version) and the application manifest
# (resources/lumirun.manifest.in): run as invoker, Windows 7 to 11, the UTF-8
# ANSI code page, system DPI awareness, common controls 6.
function(lumirun_windows_resources target description)
  set(LUMIRUN_RC_NAME ${target})
  set(LUMIRUN_RC_FILE ${target}.exe)
  set(LUMIRUN_RC_DESCRIPTION "${description}")
  set(LUMIRUN_RC_VERSION_DOTS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(LUMIRUN_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
  set(LUMIRUN_RC_MANIFEST ${folder}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/resources/lumirun.manifest.in ${LUMIRUN_RC_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${folder}/version.rc @ONLY)
  set_source_files_properties(${folder}/version.rc PROPERTIES OBJECT_DEPENDS ${LUMIRUN_RC_MANIFEST})
  target_sources(${target} PRIVATE ${folder}/version.rc)
endfunction()
