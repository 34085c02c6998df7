#!/usr/bin/env bash
# Cross-builds Debian's libjpeg-turbo as a static Windows library into
# build/deps/libjpeg-mingw (the LUMIRUN_JPEG_ROOT of the Windows build).
# Configured like Debian's own package (libjpeg 6.2 API, SIMD, arithmetic
# coding both ways, in-memory source and destination) so that the native and
# the Windows program read and write the same files. Built once: skipped
# when the library is already installed there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_JPEG_MINGW"
stamp="$prefix/.lumirun-built"
built_already "libjpeg for Windows" "$prefix" lib/libjpeg.a include/jpeglib.h && exit 0

bash "$LUMIRUN_ROOT/scripts/fetch-libjpeg-source.sh"
command -v nasm >/dev/null || die "nasm missing: run scripts/install-deps.sh"

work="$LUMIRUN_BUILD/deps/libjpeg-mingw-build"
rm -rf "$work" "$prefix"
timeout 300 cmake -S "$LUMIRUN_JPEG_SRC" -B "$work" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$LUMIRUN_ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
    -DWITH_ARITH_DEC=ON -DWITH_ARITH_ENC=ON \
    -DWITH_MEM_SRCDST=ON \
    -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF \
    >"$work.configure.log" 2>&1 ||
    { tail -n 40 "$work.configure.log" >&2; die "configuring libjpeg-turbo for Windows failed (log: $work.configure.log)"; }
timeout 900 cmake --build "$work" -j "$LUMIRUN_JOBS" >"$work.build.log" 2>&1 ||
    { tail -n 40 "$work.build.log" >&2; die "building libjpeg-turbo for Windows failed (log: $work.build.log)"; }
timeout 120 cmake --install "$work" >/dev/null ||
    die "installing libjpeg-turbo for Windows into $prefix failed"

cat "$LUMIRUN_JPEG_SRC/.lumirun-unpacked" >"$stamp"
rm -rf "$work" "$work".*.log
say "libjpeg for Windows: $(cat "$stamp") in $prefix"
