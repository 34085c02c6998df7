# libpng and zlib, for PNG pictures. Natively Debian's libpng-dev (which
# brings zlib1g-dev); for Windows the static libpng that
# scripts/build-png-mingw.sh cross-builds from Debian's source package,
# found through LUMIRUN_PNG_ROOT, and the static zlib of Debian's
# libz-mingw-w64-dev in the mingw sysroot; for WebAssembly the static zlib
# and libpng that scripts/build-png-wasm.sh builds from Debian's source
# packages, both under LUMIRUN_PNG_ROOT. Target: PNG::PNG, bringing zlib.
if(WIN32 OR EMSCRIPTEN)
  set(LUMIRUN_PNG_ROOT "" CACHE PATH "Install prefix of the cross-built zlib and libpng")
  # A host path outside the mingw find-root: not to be re-rooted under it.
  find_path(PNG_INCLUDE_DIR png.h PATHS ${LUMIRUN_PNG_ROOT}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  find_library(PNG_LIBRARY NAMES libpng16.a libpng.a PATHS ${LUMIRUN_PNG_ROOT}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(EMSCRIPTEN)
    find_library(ZLIB_LIBRARY NAMES libz.a PATHS ${LUMIRUN_PNG_ROOT}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  else()
    # The static library, not the import library of zlib1.dll beside it.
    find_library(ZLIB_LIBRARY NAMES libz.a)
  endif()
  if(NOT PNG_INCLUDE_DIR OR NOT PNG_LIBRARY)
    message(FATAL_ERROR "No cross-built libpng under LUMIRUN_PNG_ROOT='${LUMIRUN_PNG_ROOT}': run scripts/build-png-mingw.sh or scripts/build-png-wasm.sh")
  endif()
  if(NOT ZLIB_LIBRARY AND EMSCRIPTEN)
    message(FATAL_ERROR "No zlib for WebAssembly under LUMIRUN_PNG_ROOT='${LUMIRUN_PNG_ROOT}': run scripts/build-png-wasm.sh")
  elseif(NOT ZLIB_LIBRARY)
    message(FATAL_ERROR "No zlib for mingw-w64: install libz-mingw-w64-dev (scripts/install-deps.sh)")
  endif()
  add_library(ZLIB::ZLIB STATIC IMPORTED)
  set_target_properties(ZLIB::ZLIB PROPERTIES IMPORTED_LOCATION ${ZLIB_LIBRARY})
  add_library(PNG::PNG STATIC IMPORTED)
  set_target_properties(PNG::PNG PROPERTIES
    IMPORTED_LOCATION ${PNG_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${PNG_INCLUDE_DIR}
    INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
else()
  find_package(PNG REQUIRED)
endif()
