#!/usr/bin/env bash
# Builds Debian's libwebp for WebAssembly (emscripten) as static libraries
# (libwebp, and libwebpmux with the animation encoder) into
# build/deps/libwebp-wasm (the LUMIRUN_WEBP_ROOT of the web build).
# Configured like the Windows build but single-threaded (the page's core
# runs in one worker) and with no SIMD code of its own. Built once: skipped
# when the libraries are already installed there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_WEBP_WASM"
stamp="$prefix/.lumirun-built"
files=(lib/libwebp.a lib/libwebpmux.a lib/libwebpdemux.a include/webp/encode.h include/webp/mux.h include/webp/demux.h)
built_already "libwebp for WebAssembly" "$prefix" "${files[@]}" && exit 0

bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" libwebp "$LUMIRUN_WEBP_SRC" src/webp/mux.h
use_emscripten

work="$LUMIRUN_BUILD/deps/libwebp-wasm-build"
rm -rf "$work" "$prefix"
timeout 300 emcmake cmake -S "$LUMIRUN_WEBP_SRC" -B "$work" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF \
    -DWEBP_ENABLE_SIMD=OFF -DWEBP_USE_THREAD=OFF -DWEBP_NEAR_LOSSLESS=ON \
    -DWEBP_BUILD_LIBWEBPMUX=ON \
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
    -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
    -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
    -DWEBP_BUILD_WEBP_JS=OFF \
    >"$work.configure.log" 2>&1 ||
    { tail -n 40 "$work.configure.log" >&2; die "configuring libwebp for WebAssembly failed (log: $work.configure.log)"; }
timeout 900 cmake --build "$work" -j "$LUMIRUN_JOBS" >"$work.build.log" 2>&1 ||
    { tail -n 40 "$work.build.log" >&2; die "building libwebp for WebAssembly failed (log: $work.build.log)"; }
timeout 120 cmake --install "$work" >/dev/null ||
    die "installing libwebp for WebAssembly into $prefix failed"
has_files "$prefix" "${files[@]}" || die "the libwebp install in $prefix lacks a library or header"

cat "$LUMIRUN_WEBP_SRC/.lumirun-unpacked" >"$stamp"
rm -rf "$work" "$work".*.log
say "libwebp for WebAssembly: $(cat "$stamp") in $prefix"
