# libwebp: the animation encoder (libwebpmux) for lumirun-render's movies and
# the animation decoder (libwebpdemux) for the tests that read them back.
# Natively Debian's libwebp-dev; for Windows and for WebAssembly the static
# libraries that scripts/build-libwebp-mingw.sh or scripts/build-libwebp-wasm.sh
# builds, found through LUMIRUN_WEBP_ROOT.
# Targets: WebP::mux and WebP::demux, each bringing libwebp.
if(WIN32 OR EMSCRIPTEN)
  set(LUMIRUN_WEBP_ROOT "" CACHE PATH "Install prefix of the cross-built libwebp")
  # A host path outside the mingw find-root: not to be re-rooted under it.
  find_path(WEBP_INCLUDE_DIR webp/mux.h PATHS ${LUMIRUN_WEBP_ROOT}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  foreach(part webp webpmux webpdemux)
    find_library(WEBP_${part}_LIBRARY NAMES lib${part}.a PATHS ${LUMIRUN_WEBP_ROOT}/lib
      NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT WEBP_${part}_LIBRARY)
      set(WEBP_INCLUDE_DIR NOTFOUND)
    endif()
  endforeach()
  if(NOT WEBP_INCLUDE_DIR)
    message(FATAL_ERROR "No cross-built libwebp under LUMIRUN_WEBP_ROOT='${LUMIRUN_WEBP_ROOT}': run scripts/build-libwebp-mingw.sh or scripts/build-libwebp-wasm.sh")
  endif()
  add_library(WebP::webp STATIC IMPORTED)
  set_target_properties(WebP::webp PROPERTIES
    IMPORTED_LOCATION ${WEBP_webp_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${WEBP_INCLUDE_DIR})
  foreach(part mux demux)
    add_library(WebP::${part} STATIC IMPORTED)
    set_target_properties(WebP::${part} PROPERTIES
      IMPORTED_LOCATION ${WEBP_webp${part}_LIBRARY}
      INTERFACE_LINK_LIBRARIES WebP::webp)
  endforeach()
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(WEBPMUX REQUIRED IMPORTED_TARGET libwebpmux)
  pkg_check_modules(WEBPDEMUX REQUIRED IMPORTED_TARGET libwebpdemux)
  add_library(WebP::mux ALIAS PkgConfig::WEBPMUX)
  add_library(WebP::demux ALIAS PkgConfig::WEBPDEMUX)
endif()
