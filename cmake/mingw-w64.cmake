# Cross-compiling for 64-bit Windows with Debian's mingw-w64.
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake ...
# The -posix compilers use the posix thread model: GCC 12's win32 model has no
# std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(LUMIRUN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMIRUN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMIRUN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMIRUN_MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw sysroot (and from explicit hints
# such as LUMIRUN_JPEG_ROOT), never from the host; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${LUMIRUN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest (and gtest_discover_tests) run the Windows executables through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
