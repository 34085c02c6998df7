#!/bin/bash
# Builds a static libjpeg-turbo from Debian's source package (unpacked by
# scripts/fetch-libjpeg-source.sh) with clang, AddressSanitizer and
# libFuzzer's coverage instrumentation, so that the fuzzer sees inside the
# library and ASan checks every access to the buffers it shares with the
# reader. Configured like Debian's build (arithmetic coding on) but without
# SIMD, whose assembly carries no instrumentation. (UBSan is left to our
# own code: in the library it slowed the fuzzer threefold.) Installed into
# build/deps/libjpeg-fuzz; built once.
#
# Usage: scripts/build-libjpeg-fuzz.sh [SOURCE_DIR] [PREFIX]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source_dir=${1:-"$root/build/deps/libjpeg-turbo-src"}
prefix=${2:-"$root/build/deps/libjpeg-fuzz"}

if [ -f "$prefix/lib/libjpeg.a" ]; then
    echo "instrumented libjpeg already in $prefix"
    exit 0
fi
[ -f "$source_dir/jpeglib.h" ] || { echo "no libjpeg-turbo source in $source_dir" >&2; exit 1; }

flags="-g -O2 -fno-omit-frame-pointer -fsanitize=address,fuzzer-no-link"
cmake -S "$source_dir" -B "$prefix.build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_C_FLAGS_RELEASE="" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
    -DWITH_ARITH_ENC=ON -DWITH_ARITH_DEC=ON -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF > "$prefix.log"
cmake --build "$prefix.build" -j2 --target jpeg-static >> "$prefix.log"
mkdir -p "$prefix/lib" "$prefix/include"
cp "$prefix.build/libjpeg.a" "$prefix/lib/"
cp "$prefix.build/jconfig.h" "$source_dir/jerror.h" "$source_dir/jmorecfg.h" "$source_dir/jpeglib.h" "$prefix/include/"
echo "instrumented libjpeg in $prefix"
