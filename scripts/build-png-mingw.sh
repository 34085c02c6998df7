#!/usr/bin/env bash
# Cross-builds Debian's libpng (source package libpng1.6) as a static
# Windows library into build/deps/libpng-mingw (the LUMIRUN_PNG_ROOT of the
# Windows build), with CMake, none of its programs or tests, against the
# static zlib of Debian's libz-mingw-w64-dev. libpng's source also holds
# the PNG suite the tests read (contrib/pngsuite). Built once: skipped when
# installed there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_PNG_MINGW"
stamp="$prefix/.lumirun-built"
files=(lib/libpng16.a include/png.h include/pnglibconf.h)
built_already "libpng for Windows" "$prefix" "${files[@]}" && exit 0

bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" libpng1.6 "$LUMIRUN_PNG_SRC" png.h
command -v x86_64-w64-mingw32-gcc-posix >/dev/null || die "mingw-w64 missing: run scripts/install-deps.sh"
zlib=/usr/x86_64-w64-mingw32/lib/libz.a
[ -f "$zlib" ] || die "zlib for mingw-w64 missing: run scripts/install-deps.sh (libz-mingw-w64-dev)"

work="$LUMIRUN_BUILD/deps/libpng-mingw-build"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/lib" "$prefix/include"
timeout 300 cmake -S "$LUMIRUN_PNG_SRC" -B "$work/png" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$LUMIRUN_ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="$zlib" -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
    >"$work.png-configure.log" 2>&1 ||
    { tail -n 40 "$work.png-configure.log" >&2; die "configuring libpng for Windows failed (log: $work.png-configure.log)"; }
timeout 900 cmake --build "$work/png" -j "$LUMIRUN_JOBS" --target png_static >"$work.png-build.log" 2>&1 ||
    { tail -n 40 "$work.png-build.log" >&2; die "building libpng for Windows failed (log: $work.png-build.log)"; }
cp "$work/png/libpng16.a" "$prefix/lib/"
cp "$LUMIRUN_PNG_SRC/png.h" "$LUMIRUN_PNG_SRC/pngconf.h" "$work/png/pnglibconf.h" "$prefix/include/"
has_files "$prefix" "${files[@]}" || die "the libpng install in $prefix lacks a library or header"

cat "$LUMIRUN_PNG_SRC/.lumirun-unpacked" >"$stamp"
rm -rf "$work" "$work".*.log
say "libpng for Windows: $(cat "$stamp") in $prefix"
