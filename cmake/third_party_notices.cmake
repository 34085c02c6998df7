# lumirun_third_party_notices(JPEG_SOURCE OUTPUT): writes the notices of the
# libraries linked into the Windows executables (CRLF line ends), from
# resources/THIRD-PARTY-NOTICES.in and, for libjpeg-turbo, the licence texts
# of the source package the library was built from, word for word.
function(lumirun_third_party_notices jpeg_source webp_source output)
  set(license ${jpeg_source}/LICENSE.md)
  set(readme ${jpeg_source}/README.ijg)
  if(NOT EXISTS ${license} OR NOT EXISTS ${readme})
    message(FATAL_ERROR "No libjpeg-turbo licence texts in '${jpeg_source}': run scripts/fetch-libjpeg-source.sh")
  endif()
  file(READ ${license} LUMIRUN_JPEG_LICENSE)
  string(STRIP "${LUMIRUN_JPEG_LICENSE}" LUMIRUN_JPEG_LICENSE)

  # README.ijg from its LEGAL ISSUES heading to the next section's.
  file(READ ${readme} ijg)
  string(FIND "${ijg}" "\nLEGAL ISSUES\n====" first)
  string(FIND "${ijg}" "\nREFERENCES\n====" last)
  if(first LESS 0 OR last LESS first)
    message(FATAL_ERROR "No LEGAL ISSUES section in ${readme}")
  endif()
  math(EXPR length "${last} - ${first}")
  string(SUBSTRING "${ijg}" ${first} ${length} LUMIRUN_JPEG_LEGAL)
  string(STRIP "${LUMIRUN_JPEG_LEGAL}" LUMIRUN_JPEG_LEGAL)

  # libwebp's BSD licence and its patent grant, linked into lumirun-render.
  set(webp_license ${webp_source}/COPYING)
  set(webp_patents ${webp_source}/PATENTS)
  if(NOT EXISTS ${webp_license} OR NOT EXISTS ${webp_patents})
    message(FATAL_ERROR "No libwebp licence texts in '${webp_source}': run scripts/build-libwebp-mingw.sh")
  endif()
  file(READ ${webp_license} LUMIRUN_WEBP_LICENSE)
  string(STRIP "${LUMIRUN_WEBP_LICENSE}" LUMIRUN_WEBP_LICENSE)
  file(READ ${webp_patents} LUMIRUN_WEBP_PATENTS)
  string(STRIP "${LUMIRUN_WEBP_PATENTS}" LUMIRUN_WEBP_PATENTS)
  file(STRINGS ${webp_source}/configure.ac webp_init REGEX "^AC_INIT\\(\\[libwebp\\], \\[[0-9.]+\\]")
  string(REGEX REPLACE "^AC_INIT\\(\\[libwebp\\], \\[([0-9.]+)\\].*$" "\\1" LUMIRUN_WEBP_VERSION "${webp_init}")

  file(STRINGS ${jpeg_source}/CMakeLists.txt version_line REGEX "^set\\(VERSION [0-9.]+\\)")
  string(REGEX REPLACE "^set\\(VERSION ([0-9.]+)\\)$" "\\1" LUMIRUN_JPEG_VERSION "${version_line}")
  # The versions of the toolchain's packages, whose runtimes are linked in.
  execute_process(COMMAND dpkg-query -W -f=\${Version} mingw-w64-x86-64-dev
    OUTPUT_VARIABLE LUMIRUN_MINGW_VERSION ERROR_QUIET)
  execute_process(COMMAND dpkg-query -W -f=\${Version} gcc-mingw-w64-x86-64-posix-runtime
    OUTPUT_VARIABLE LUMIRUN_GCC_VERSION ERROR_QUIET)
  foreach(version LUMIRUN_MINGW_VERSION LUMIRUN_GCC_VERSION)
    if(NOT ${version})
      set(${version} "(version unknown)")
    endif()
  endforeach()
  # CRLF for every line, the quoted texts' too (NEWLINE_STYLE would change
  # only the template's own lines).
  configure_file(${PROJECT_SOURCE_DIR}/resources/THIRD-PARTY-NOTICES.in ${output}.lf @ONLY)
  file(READ ${output}.lf text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${output} "${text}")
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license} ${readme}
    ${webp_license} ${webp_patents})
endfunction()
