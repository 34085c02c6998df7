# Little CMS 2, for the colour profiles of pictures. Natively Debian's
# liblcms2-dev; for Windows and for WebAssembly the static library that
# scripts/build-lcms2-mingw.sh or scripts/build-lcms2-wasm.sh builds from
# Debian's source package, found through LUMIRUN_LCMS2_ROOT.
# Target: LCMS2::LCMS2.
if(WIN32 OR EMSCRIPTEN)
  set(LUMIRUN_LCMS2_ROOT "" CACHE PATH "Install prefix of the cross-built Little CMS")
  find_path(LCMS2_INCLUDE_DIR lcms2.h PATHS ${LUMIRUN_LCMS2_ROOT}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  find_library(LCMS2_LIBRARY NAMES liblcms2.a PATHS ${LUMIRUN_LCMS2_ROOT}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT LCMS2_INCLUDE_DIR OR NOT LCMS2_LIBRARY)
    message(FATAL_ERROR "No cross-built Little CMS under LUMIRUN_LCMS2_ROOT='${LUMIRUN_LCMS2_ROOT}': run scripts/build-lcms2-mingw.sh or scripts/build-lcms2-wasm.sh")
  endif()
  add_library(LCMS2::LCMS2 STATIC IMPORTED)
  set_target_properties(LCMS2::LCMS2 PROPERTIES
    IMPORTED_LOCATION ${LCMS2_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${LCMS2_INCLUDE_DIR})
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)
  add_library(LCMS2::LCMS2 ALIAS PkgConfig::LCMS2)
endif()
