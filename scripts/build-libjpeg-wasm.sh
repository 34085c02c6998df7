#!/usr/bin/env bash
# Builds Debian's libjpeg-turbo for WebAssembly (emscripten) as a static
# library into build/deps/libjpeg-wasm (the LUMIRUN_JPEG_ROOT of the web
# build). Configured like the Windows build (libjpeg 6.2 API, arithmetic
# coding both ways, in-memory source and destination) but without SIMD,
# which has no WebAssembly code: its decoded pixels and written bytes are
# the SIMD build's. Built once: skipped when the library is already there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_JPEG_WASM"
stamp="$prefix/.lumirun-built"
built_already "libjpeg for WebAssembly" "$prefix" lib/libjpeg.a include/jpeglib.h && exit 0

bash "$LUMIRUN_ROOT/scripts/fetch-libjpeg-source.sh"
use_emscripten

work="$LUMIRUN_BUILD/deps/libjpeg-wasm-build"
rm -rf "$work" "$prefix"
# CMake's size_t check reads a wrong size under emscripten: it is 4 bytes.
timeout 300 emcmake cmake -S "$LUMIRUN_JPEG_SRC" -B "$work" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DWITH_SIMD=OFF \
    -DWITH_ARITH_DEC=ON -DWITH_ARITH_ENC=ON \
    -DWITH_MEM_SRCDST=ON \
    -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF \
    -DSIZE_T=4 -DHAVE_SIZE_T=TRUE \
    >"$work.configure.log" 2>&1 ||
    { tail -n 40 "$work.configure.log" >&2; die "configuring libjpeg-turbo for WebAssembly failed (log: $work.configure.log)"; }
timeout 900 cmake --build "$work" -j "$LUMIRUN_JOBS" --target jpeg-static >"$work.build.log" 2>&1 ||
    { tail -n 40 "$work.build.log" >&2; die "building libjpeg-turbo for WebAssembly failed (log: $work.build.log)"; }
# Only the library and its headers: the tools are not built.
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/libjpeg.a" "$prefix/lib/"
cp "$LUMIRUN_JPEG_SRC/jpeglib.h" "$LUMIRUN_JPEG_SRC/jmorecfg.h" "$LUMIRUN_JPEG_SRC/jerror.h" \
    "$work/jconfig.h" "$prefix/include/"

cat "$LUMIRUN_JPEG_SRC/.lumirun-unpacked" >"$stamp"
rm -rf "$work" "$work".*.log
say "libjpeg for WebAssembly: $(cat "$stamp") in $prefix"
