# What a user downloads: `cmake --build build/windows --target package`
# writes lumirun-<version>-win64.zip (one folder: the two programs, the help
# files when built, the browser edition when built, the sample chart,
# README.txt, LICENSE and THIRD-PARTY-NOTICES), natively `--target package`
# writes the Debian package lumirun-render_<version>_<arch>.deb (with the
# browser edition when built); each with a .sha256 file beside it.
# `cmake --install` installs the same files.

# LUMIRUN_BUG_REPORTS and the texts made from it: cmake/addresses.cmake.
set(LUMIRUN_MAINTAINER "Lumirun maintainers <maintainers@users.noreply.c-seed-c97905bb.example>" CACHE STRING
  "The Debian package's maintainer, name and mail address")

# Every file in a package carries the same time, so that two builds of one
# commit give the same bytes: SOURCE_DATE_EPOCH when set, else the time of
# the commit built.
set(LUMIRUN_SOURCE_DATE "$ENV{SOURCE_DATE_EPOCH}")
if(NOT LUMIRUN_SOURCE_DATE)
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE LUMIRUN_SOURCE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT LUMIRUN_SOURCE_DATE MATCHES "^[0-9]+$")
  set(LUMIRUN_SOURCE_DATE 315532800)  # 1980-01-01, the first time a zip file can hold
endif()
execute_process(COMMAND date -u -d @${LUMIRUN_SOURCE_DATE} +%Y-%m-%d
  OUTPUT_VARIABLE LUMIRUN_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
execute_process(COMMAND date -u -R -d @${LUMIRUN_SOURCE_DATE}
  OUTPUT_VARIABLE LUMIRUN_RELEASE_DATE_822 OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)

set(docs ${CMAKE_BINARY_DIR}/package-files)

# The browser edition, built by the web preset (scripts/test.sh web) before
# the packages; packaged when present, like the help files. It carries the
# licences of what it holds itself.
set(LUMIRUN_WEB_PAGE "${PROJECT_SOURCE_DIR}/build/web/lumirun.html" CACHE FILEPATH
  "lumirun.html, the browser edition, for the packages")

if(WIN32)
  # Text files for Windows users: CRLF line ends.
  configure_file(${PROJECT_SOURCE_DIR}/resources/README-windows.txt.in ${docs}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${docs}/LICENSE @ONLY NEWLINE_STYLE CRLF)
  # The notices of the libraries linked into the executables; the libraries'
  # own texts come from the source packages they were built from.
  set(LUMIRUN_JPEG_SOURCE "${PROJECT_SOURCE_DIR}/build/deps/libjpeg-turbo-src" CACHE PATH
    "libjpeg-turbo's source (for its licence texts)")
  set(LUMIRUN_WEBP_SOURCE "${PROJECT_SOURCE_DIR}/build/deps/libwebp-src" CACHE PATH
    "libwebp's source (for its licence texts)")
  include(${PROJECT_SOURCE_DIR}/cmake/third_party_notices.cmake)
  set(LUMIRUN_PNG_SOURCE "${PROJECT_SOURCE_DIR}/build/deps/libpng-src" CACHE PATH
    "libpng's source (for its licence text)")
  set(LUMIRUN_LCMS2_SOURCE "${PROJECT_SOURCE_DIR}/build/deps/lcms2-src" CACHE PATH
    "Little CMS's source (for its licence text)")
  find_file(LUMIRUN_ZLIB_HEADER zlib.h)
  lumirun_third_party_notices(${LUMIRUN_JPEG_SOURCE} ${LUMIRUN_WEBP_SOURCE} ${LUMIRUN_PNG_SOURCE}
    ${LUMIRUN_LCMS2_SOURCE} ${LUMIRUN_ZLIB_HEADER} ${docs}/THIRD-PARTY-NOTICES)

  # Linked without symbol tables: smaller, and without the build machine's
  # paths (libjpeg's assembled objects name their source files). Stripping
  # afterwards would stamp the time into the header again.
  target_link_options(lumirun PRIVATE -s)
  target_link_options(lumirun-render PRIVATE -s)
  install(TARGETS lumirun lumirun-render RUNTIME DESTINATION .)
  # Built by the help project beside lumirun.exe; packaged when present.
  install(FILES ${CMAKE_BINARY_DIR}/ui/lumirun.hlp ${CMAKE_BINARY_DIR}/ui/lumirun-help.html ${LUMIRUN_WEB_PAGE}
    DESTINATION . OPTIONAL)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/sample.jpg ${docs}/README.txt ${docs}/LICENSE
    ${docs}/THIRD-PARTY-NOTICES DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME lumirun-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  include(GNUInstallDirs)
  set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/lumirun-render)
  # The manual page, gzipped as Debian installs them (-n: no name or time
  # inside, so the bytes stay the same).
  configure_file(${PROJECT_SOURCE_DIR}/cli/lumirun-render.1.in ${docs}/lumirun-render.1 @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/copyright.in ${docs}/copyright @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/changelog.in ${docs}/changelog @ONLY)
  add_custom_command(OUTPUT ${docs}/lumirun-render.1.gz ${docs}/changelog.gz
    COMMAND gzip -9n -c lumirun-render.1 > lumirun-render.1.gz
    COMMAND gzip -9n -c changelog > changelog.gz
    DEPENDS ${docs}/lumirun-render.1 ${docs}/changelog
    WORKING_DIRECTORY ${docs} VERBATIM)
  add_custom_target(lumirun_manual ALL DEPENDS ${docs}/lumirun-render.1.gz ${docs}/changelog.gz)

  install(TARGETS lumirun-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${docs}/lumirun-render.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${docs}/copyright ${docs}/changelog.gz DESTINATION ${doc_dir})
  install(FILES ${LUMIRUN_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lumirun-render OPTIONAL)
  # The chart the manual page's examples render.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/sample.jpg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lumirun-render)

  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_PACKAGE_NAME lumirun-render)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # dpkg-shlibdeps names the libraries the program links (libjpeg62-turbo,
  # libwebp, libpng16-16, liblcms2-2, zlib, the C and C++ runtimes) with the
  # versions this build needs. MP4, WebM and GIF movies need ffmpeg.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMIRUN_MAINTAINER}")
  # CPack indents the lines after the first itself.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"render a photo as seen flying past it near light speed
lumirun-render reads a JPEG or PNG picture, renders it as an observer flying
past it at a large fraction of the speed of light would see it (Lorentz
contraction and light travel time, solved for every sample point, and on
request the Doppler shift of its colours) and saves the result as a JPEG
file, byte for byte as the Lumirun JPG viewer saves it, or as PNG or WebP;
movies as animated WebP, numbered picture files, YUV4MPEG2, or through
ffmpeg as MP4, WebM or GIF.")
endif()

set(CPACK_PACKAGE_NAME lumirun)
set(CPACK_PACKAGE_VENDOR "The Lumirun developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_times.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_zip_order.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackLumirun.cmake)
# Read by cpack itself: the time for package_times.cmake, and for the Debian
# generator, which stamps its own members with SOURCE_DATE_EPOCH.
file(WRITE ${CMAKE_BINARY_DIR}/CPackLumirun.cmake "set(LUMIRUN_PACKAGE_TIME ${LUMIRUN_SOURCE_DATE})
set(ENV{SOURCE_DATE_EPOCH} ${LUMIRUN_SOURCE_DATE})\n")
include(CPack)
