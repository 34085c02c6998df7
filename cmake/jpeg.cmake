# libjpeg (API 62). Natively Debian's libjpeg-turbo; for Windows and for
# WebAssembly the static library that scripts/build-libjpeg-mingw.sh or
# scripts/build-libjpeg-wasm.sh builds, found through LUMIRUN_JPEG_ROOT.
if(WIN32 OR EMSCRIPTEN)
  set(LUMIRUN_JPEG_ROOT "" CACHE PATH "Install prefix of the cross-built libjpeg-turbo")
  # A host path outside the mingw find-root: not to be re-rooted under it.
  find_path(JPEG_INCLUDE_DIR jpeglib.h PATHS ${LUMIRUN_JPEG_ROOT}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  find_library(JPEG_LIBRARY NAMES libjpeg.a jpeg-static jpeg PATHS ${LUMIRUN_JPEG_ROOT}/lib
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT JPEG_INCLUDE_DIR OR NOT JPEG_LIBRARY)
    message(FATAL_ERROR "No cross-built libjpeg under LUMIRUN_JPEG_ROOT='${LUMIRUN_JPEG_ROOT}': run scripts/build-libjpeg-mingw.sh or scripts/build-libjpeg-wasm.sh")
  endif()
  add_library(JPEG::JPEG STATIC IMPORTED)
  set_target_properties(JPEG::JPEG PROPERTIES
    IMPORTED_LOCATION ${JPEG_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${JPEG_INCLUDE_DIR})
else()
  find_package(JPEG REQUIRED)
endif()
