# lumirun_read_licence_text(VARIABLE FILE HINT): a library's text, word for
# word but for the blank lines around it; a missing one stops the configure
# with HINT.
function(lumirun_read_licence_text variable file hint)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "No licence text ${file}: ${hint}")
  endif()
  file(READ ${file} text)
  string(STRIP "${text}" text)
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# lumirun_third_party_notices(JPEG_SOURCE WEBP_SOURCE PNG_SOURCE LCMS2_SOURCE
# ZLIB_HEADER OUTPUT): writes the notices of the libraries linked into the
# Windows executables (CRLF line ends), from resources/THIRD-PARTY-NOTICES.in
# and the licence texts of the source packages libjpeg-turbo, libwebp, libpng
# and Little CMS were built from (zlib's from the head of its header), word
# for word.
function(lumirun_third_party_notices jpeg_source webp_source png_source lcms2_source zlib_header output)
  set(jpeg_hint "run scripts/fetch-libjpeg-source.sh")
  set(webp_hint "run scripts/build-libwebp-mingw.sh")
  set(readme ${jpeg_source}/README.ijg)
  lumirun_read_licence_text(LUMIRUN_JPEG_LICENSE ${jpeg_source}/LICENSE.md "${jpeg_hint}")
  lumirun_read_licence_text(LUMIRUN_WEBP_LICENSE ${webp_source}/COPYING "${webp_hint}")
  lumirun_read_licence_text(LUMIRUN_WEBP_PATENTS ${webp_source}/PATENTS "${webp_hint}")
  lumirun_read_licence_text(LUMIRUN_PNG_LICENSE ${png_source}/LICENSE "run scripts/build-png-mingw.sh")
  lumirun_read_licence_text(LUMIRUN_LCMS2_LICENSE ${lcms2_source}/COPYING "run scripts/build-lcms2-mingw.sh")
  # zlib.h opens with one comment: its name, the version line, then the
  # copyright and the licence.
  lumirun_read_licence_text(zlib ${zlib_header} "install libz-mingw-w64-dev")
  string(REGEX MATCH "^/\\* zlib.h -- [^\n]*\n  version ([0-9.]+)[^\n]*\n" zlib_head "${zlib}")
  set(LUMIRUN_ZLIB_VERSION ${CMAKE_MATCH_1})
  string(LENGTH "${zlib_head}" start)
  string(FIND "${zlib}" "*/" end)
  if(NOT zlib_head OR end LESS start)
    message(FATAL_ERROR "No licence comment at the head of ${zlib_header}")
  endif()
  math(EXPR length "${end} - ${start}")
  string(SUBSTRING "${zlib}" ${start} ${length} LUMIRUN_ZLIB_LICENSE)
  string(STRIP "${LUMIRUN_ZLIB_LICENSE}" LUMIRUN_ZLIB_LICENSE)
  file(STRINGS ${png_source}/png.h png_version REGEX "^#define PNG_LIBPNG_VER_STRING \"[0-9.]+\"")
  string(REGEX REPLACE "^.*\"([0-9.]+)\".*$" "\\1" LUMIRUN_PNG_VERSION "${png_version}")
  file(STRINGS ${lcms2_source}/configure.ac lcms2_init REGEX "^AC_INIT\\(lcms2, *[0-9.]+\\)")
  string(REGEX REPLACE "^AC_INIT\\(lcms2, *([0-9.]+)\\).*$" "\\1" LUMIRUN_LCMS2_VERSION "${lcms2_init}")

  # README.ijg from its LEGAL ISSUES heading to the next section's.
  lumirun_read_licence_text(ijg ${readme} "${jpeg_hint}")
  string(FIND "${ijg}" "\nLEGAL ISSUES\n====" first)
  string(FIND "${ijg}" "\nREFERENCES\n====" last)
  if(first LESS 0 OR last LESS first)
    message(FATAL_ERROR "No LEGAL ISSUES section in ${readme}")
  endif()
  math(EXPR length "${last} - ${first}")
  string(SUBSTRING "${ijg}" ${first} ${length} LUMIRUN_JPEG_LEGAL)
  string(STRIP "${LUMIRUN_JPEG_LEGAL}" LUMIRUN_JPEG_LEGAL)

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
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${jpeg_source}/LICENSE.md
    ${readme} ${webp_source}/COPYING ${webp_source}/PATENTS ${png_source}/LICENSE ${lcms2_source}/COPYING)
endfunction()
