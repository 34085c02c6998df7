#!/usr/bin/env bash
# Builds Debian's Little CMS 2 (lcms2) for WebAssembly (emscripten) as a
# static library into build/deps/lcms2-wasm (the LUMIRUN_LCMS2_ROOT of the
# web build): the library alone (no JPEG or TIFF tools), single-threaded
# as the page's core is. -ffp-contract=off as everywhere: no fused
# multiply-add. Built once: skipped when installed there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$LUMIRUN_LCMS2_WASM"
stamp="$prefix/.lumirun-built"
built_already "Little CMS for WebAssembly" "$prefix" lib/liblcms2.a include/lcms2.h && exit 0

bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" lcms2 "$LUMIRUN_LCMS2_SRC" include/lcms2.h
use_emscripten

work="$LUMIRUN_BUILD/deps/lcms2-wasm-build"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/lib" "$prefix/include"
# The library's sources compiled one by one, as its Makefile would: its
# configure script would run test programs, which a cross build cannot.
for source in "$LUMIRUN_LCMS2_SRC"/src/*.c; do
    timeout 300 emcc -O2 -ffp-contract=off -DCMS_NO_PTHREADS=1 -I"$LUMIRUN_LCMS2_SRC/include" \
        -c "$source" -o "$work/$(basename "$source" .c).o" >>"$work.build.log" 2>&1 ||
        { tail -n 40 "$work.build.log" >&2; die "building Little CMS for WebAssembly failed (log: $work.build.log)"; }
done
timeout 120 emar rcs "$prefix/lib/liblcms2.a" "$work"/*.o || die "archiving Little CMS for WebAssembly failed"
cp "$LUMIRUN_LCMS2_SRC/include/lcms2.h" "$LUMIRUN_LCMS2_SRC/include/lcms2_plugin.h" "$prefix/include/"
[ -f "$prefix/lib/liblcms2.a" ] && [ -f "$prefix/include/lcms2.h" ] || die "the Little CMS install in $prefix is incomplete"

cat "$LUMIRUN_LCMS2_SRC/.lumirun-unpacked" >"$stamp"
rm -rf "$work" "$work".*.log
say "Little CMS for WebAssembly: $(cat "$stamp") in $prefix"
