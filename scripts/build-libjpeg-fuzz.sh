#!/usr/bin/env bash
# Builds a static libjpeg-turbo from Debian's source package (unpacked by
# scripts/fetch-libjpeg-source.sh) with clang, AddressSanitizer and
# libFuzzer's coverage instrumentation, so that the fuzzer sees inside the
# library and ASan checks every access to the buffers it shares with the
# reader. Configured like Debian's build (arithmetic coding on) but without
# SIMD, whose assembly carries no instrumentation. UBSan is left to our own
# code: in the library it slowed the fuzzer threefold. Installed into
# build/deps/libjpeg-fuzz; built once.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_BUILD/deps/libjpeg-fuzz"
stamp="$prefix/.lumirun-built"
built_already "instrumented libjpeg" "$prefix" lib/libjpeg.a && exit 0
bash "$LUMIRUN_ROOT/scripts/fetch-libjpeg-source.sh"
command -v clang >/dev/null || die "clang missing: run scripts/install-deps.sh"

work="$LUMIRUN_BUILD/deps/libjpeg-fuzz-build"
rm -rf "$work" "$prefix"
flags="-g -O2 -fno-omit-frame-pointer -fsanitize=address,fuzzer-no-link"
timeout 300 cmake -S "$LUMIRUN_JPEG_SRC" -B "$work" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_C_FLAGS_RELEASE="" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DWITH_SIMD=OFF \
    -DWITH_ARITH_DEC=ON -DWITH_ARITH_ENC=ON -DWITH_MEM_SRCDST=ON -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF \
    >"$work.configure.log" 2>&1 ||
    { tail -n 40 "$work.configure.log" >&2; die "configuring the instrumented libjpeg failed"; }
timeout 900 cmake --build "$work" -j "$LUMIRUN_JOBS" --target jpeg-static >"$work.build.log" 2>&1 ||
    { tail -n 40 "$work.build.log" >&2; die "building the instrumented libjpeg failed"; }
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/libjpeg.a" "$prefix/lib/"
cp "$work/jconfig.h" "$LUMIRUN_JPEG_SRC/jerror.h" "$LUMIRUN_JPEG_SRC/jmorecfg.h" "$LUMIRUN_JPEG_SRC/jpeglib.h" \
    "$prefix/include/"
cat "$LUMIRUN_JPEG_SRC/.lumirun-unpacked" >"$stamp"
rm -rf "$work" "$work".*.log
say "instrumented libjpeg: $(cat "$stamp") in $prefix"
