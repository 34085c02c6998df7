#!/usr/bin/env bash
# Cross-builds Debian's Little CMS 2 (lcms2) as a static Windows library
# into build/deps/lcms2-mingw (the LUMIRUN_LCMS2_ROOT of the Windows build),
# with its own configure script, the library alone (no JPEG or TIFF
# tools). -ffp-contract=off as everywhere: no fused multiply-add. Built
# once: skipped when installed there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_LCMS2_MINGW"
stamp="$prefix/.lumirun-built"
built_already "Little CMS for Windows" "$prefix" lib/liblcms2.a include/lcms2.h && exit 0

bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" lcms2 "$LUMIRUN_LCMS2_SRC" include/lcms2.h
command -v x86_64-w64-mingw32-gcc-posix >/dev/null || die "mingw-w64 missing: run scripts/install-deps.sh"

work="$LUMIRUN_BUILD/deps/lcms2-mingw-build"
rm -rf "$work" "$prefix"
cp -a "$LUMIRUN_LCMS2_SRC" "$work"
(cd "$work" && timeout 300 ./configure --host=x86_64-w64-mingw32 --prefix="$prefix" \
    --disable-shared --enable-static --without-jpeg --without-tiff --without-zlib \
    CC=x86_64-w64-mingw32-gcc-posix CFLAGS="-O2 -ffp-contract=off") >"$work.configure.log" 2>&1 ||
    { tail -n 40 "$work.configure.log" >&2; die "configuring Little CMS for Windows failed (log: $work.configure.log)"; }
timeout 900 make -C "$work/src" -j "$LUMIRUN_JOBS" >"$work.build.log" 2>&1 ||
    { tail -n 40 "$work.build.log" >&2; die "building Little CMS for Windows failed (log: $work.build.log)"; }
timeout 120 make -C "$work/src" install >/dev/null && timeout 120 make -C "$work/include" install >/dev/null ||
    die "installing Little CMS for Windows into $prefix failed"
[ -f "$prefix/lib/liblcms2.a" ] && [ -f "$prefix/include/lcms2.h" ] || die "the Little CMS install in $prefix is incomplete"

cat "$LUMIRUN_LCMS2_SRC/.lumirun-unpacked" >"$stamp"
rm -rf "$work" "$work".*.log
say "Little CMS for Windows: $(cat "$stamp") in $prefix"
