#!/usr/bin/env bash
# Cross-builds Debian's libwebp as static Windows libraries (libwebp,
# libwebpmux with the animation encoder, libwebpdemux with the animation
# decoder) into build/deps/libwebp-mingw (the
# LUMIRUN_WEBP_ROOT of the Windows build). Configured like Debian's own
# package (mux and demux on, SIMD chosen at run time), none of its tools.
# Built once: skipped when the libraries are already installed there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_WEBP_MINGW"
stamp="$prefix/.lumirun-built"
files=(lib/libwebp.a lib/libwebpmux.a lib/libwebpdemux.a include/webp/encode.h include/webp/mux.h include/webp/demux.h)
built_already "libwebp for Windows" "$prefix" "${files[@]}" && exit 0

bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" libwebp "$LUMIRUN_WEBP_SRC" src/webp/mux.h
command -v x86_64-w64-mingw32-gcc-posix >/dev/null || die "mingw-w64 missing: run scripts/install-deps.sh"

work="$LUMIRUN_BUILD/deps/libwebp-mingw-build"
rm -rf "$work" "$prefix"
timeout 300 cmake -S "$LUMIRUN_WEBP_SRC" -B "$work" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$LUMIRUN_ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF \
    -DWEBP_ENABLE_SIMD=ON -DWEBP_USE_THREAD=ON -DWEBP_NEAR_LOSSLESS=ON \
    -DWEBP_BUILD_LIBWEBPMUX=ON \
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
    -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
    -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
    >"$work.configure.log" 2>&1 ||
    { tail -n 40 "$work.configure.log" >&2; die "configuring libwebp for Windows failed (log: $work.configure.log)"; }
timeout 900 cmake --build "$work" -j "$LUMIRUN_JOBS" >"$work.build.log" 2>&1 ||
    { tail -n 40 "$work.build.log" >&2; die "building libwebp for Windows failed (log: $work.build.log)"; }
timeout 120 cmake --install "$work" >/dev/null ||
    die "installing libwebp for Windows into $prefix failed"
has_files "$prefix" "${files[@]}" || die "the libwebp install in $prefix lacks a library or header"

cat "$LUMIRUN_WEBP_SRC/.lumirun-unpacked" >"$stamp"
rm -rf "$work" "$work".*.log
say "libwebp for Windows: $(cat "$stamp") in $prefix"
