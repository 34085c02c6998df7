#!/usr/bin/env bash
# Builds Debian's zlib and libpng (source packages zlib and libpng1.6) for
# WebAssembly (emscripten) as static libraries into build/deps/libpng-wasm
# (the LUMIRUN_PNG_ROOT of the web build): emscripten's own zlib is a port
# it would download. zlib with its own configure script, the library
# alone; libpng with CMake against it, none of its programs or tests and no
# SIMD code (the filters' plain C gives the same bytes). Built once:
# skipped when installed there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_PNG_WASM"
stamp="$prefix/.lumirun-built"
files=(lib/libz.a lib/libpng16.a include/zlib.h include/zconf.h include/png.h include/pnglibconf.h)
built_already "zlib and libpng for WebAssembly" "$prefix" "${files[@]}" && exit 0

bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" zlib "$LUMIRUN_ZLIB_SRC" zlib.h
bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" libpng1.6 "$LUMIRUN_PNG_SRC" png.h
use_emscripten

work="$LUMIRUN_BUILD/deps/libpng-wasm-build"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/lib" "$prefix/include"
# zlib's configure writes into its source folder: it runs in a copy.
cp -a "$LUMIRUN_ZLIB_SRC" "$work/zlib"
(cd "$work/zlib" && timeout 300 emconfigure ./configure --static --prefix="$prefix") \
    >"$work.zlib-configure.log" 2>&1 ||
    { tail -n 40 "$work.zlib-configure.log" >&2; die "configuring zlib for WebAssembly failed (log: $work.zlib-configure.log)"; }
timeout 900 emmake make -C "$work/zlib" -j "$LUMIRUN_JOBS" libz.a \
    >"$work.zlib-build.log" 2>&1 ||
    { tail -n 40 "$work.zlib-build.log" >&2; die "building zlib for WebAssembly failed (log: $work.zlib-build.log)"; }
cp "$work/zlib/libz.a" "$prefix/lib/"
cp "$work/zlib/zlib.h" "$work/zlib/zconf.h" "$prefix/include/"

timeout 300 emcmake cmake -S "$LUMIRUN_PNG_SRC" -B "$work/png" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
    >"$work.png-configure.log" 2>&1 ||
    { tail -n 40 "$work.png-configure.log" >&2; die "configuring libpng for WebAssembly failed (log: $work.png-configure.log)"; }
timeout 900 cmake --build "$work/png" -j "$LUMIRUN_JOBS" --target png_static >"$work.png-build.log" 2>&1 ||
    { tail -n 40 "$work.png-build.log" >&2; die "building libpng for WebAssembly failed (log: $work.png-build.log)"; }
cp "$work/png/libpng16.a" "$prefix/lib/"
cp "$LUMIRUN_PNG_SRC/png.h" "$LUMIRUN_PNG_SRC/pngconf.h" "$work/png/pnglibconf.h" "$prefix/include/"
has_files "$prefix" "${files[@]}" || die "the zlib and libpng install in $prefix lacks a library or header"

printf '%s, %s\n' "$(cat "$LUMIRUN_ZLIB_SRC/.lumirun-unpacked")" "$(cat "$LUMIRUN_PNG_SRC/.lumirun-unpacked")" >"$stamp"
rm -rf "$work" "$work".*.log
say "zlib and libpng for WebAssembly: $(cat "$stamp") in $prefix"
