#!/usr/bin/env bash
# The one command that builds everything and runs every test, natively and
# as Windows executables under Wine. Stops at the first failing step.
#   bash scripts/test.sh              all steps
#   bash scripts/test.sh ID...        only the steps named (see main below)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
. "$LUMIRUN_ROOT/scripts/wine-env.sh"

# Every tree built here turns warnings into errors, here as in CI, so that a
# new warning fails the run that brought it.
WERROR=-DLUMIRUN_WERROR=ON

# ---- Steps ----------------------------------------------------------------
# Each runs in a subshell with errexit on: anything it starts (Xvfb, Wine)
# ends with it. A step may add a line to the final summary with `note`.

install_deps() { bash "$LUMIRUN_ROOT/scripts/install-deps.sh" all; }

fetch_jpeg_source() { bash "$LUMIRUN_ROOT/scripts/fetch-libjpeg-source.sh"; }

# libpng's source: its PNG suite for the formats test (and the Windows build).
fetch_png_source() { bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" libpng1.6 "$LUMIRUN_PNG_SRC" png.h; }

build_native() {
    configure_native "$WERROR"
    cmake_build "$LUMIRUN_NATIVE"
}

test_native() { run_ctest native native -j "$LUMIRUN_JOBS"; }

# The renderer's threads, and a movie's encoding thread, under
# ThreadSanitizer: a race that changes no pixel this time still fails here.
# Its own tree; only the test program.
LUMIRUN_TSAN_TREE="$LUMIRUN_BUILD/tsan"
RENDERER_TESTS='FastRenderer*:RenderKernels*:Partition*:Workers*:ColumnProgress*:Renderer*:render_movie*:SmoothRenderer.SameBytes*'
test_renderer_tsan() {
    cmake_configure tsan "$WERROR"
    cmake_build "$LUMIRUN_TSAN_TREE" lumirun_tests
    # The 2 GiB raster adds nothing here but shadow memory.
    TSAN_OPTIONS="halt_on_error=1 allocator_may_return_null=1" timeout 900 \
        "$LUMIRUN_TSAN_TREE/tests/lumirun_tests" --gtest_filter="$RENDERER_TESTS:-*TwoGigabytes*" ||
        die "renderer tests under ThreadSanitizer failed"
}

# The benchmark on small pictures: it runs, and the fast renderer's bytes
# are the plain algorithm's (it exits 1 otherwise). The figures of the README
# come from a full run by hand: build/native/tests/lumirun_bench and
# lumirun_bench_movie.
bench_native() {
    timeout 300 "$LUMIRUN_NATIVE/tests/lumirun_bench" --quick || die "benchmark failed"
    timeout 300 "$LUMIRUN_NATIVE/tests/lumirun_bench_movie" --quick || die "movie benchmark failed"
}

# The browser edition: the libraries and the core built for WebAssembly,
# lumirun.html, and its test in Debian's headless Chromium (tests/web/),
# whose driver npm installs from the lock file into build/web-test. The test
# compares with the native lumirun-render (native-build), takes its Display
# P3 profile from the native lumirun_make_profile, and prints the
# benchmark (about 25 s, no exports): the CPU and the load, then the
# previews a second while the speed is dragged around 50, 90, 99 and
# 99.99 % at a 1280x720 view, for the sample and a 4000x3000 photo, each
# with the worker's time and pixels per preview. The screenshot stays in
# build/web/screenshot.png.
test_web() {
    bash "$LUMIRUN_ROOT/scripts/install-deps.sh" web
    bash "$LUMIRUN_ROOT/scripts/build-libjpeg-wasm.sh"
    bash "$LUMIRUN_ROOT/scripts/build-libwebp-wasm.sh"
    bash "$LUMIRUN_ROOT/scripts/build-png-wasm.sh"
    bash "$LUMIRUN_ROOT/scripts/build-lcms2-wasm.sh"
    # The video muxer and GIF encoder lumirun.html bundles, from their lock file.
    local modules="$LUMIRUN_BUILD/page-modules"
    mkdir -p "$modules"
    if ! cmp -s "$LUMIRUN_ROOT/web/package-lock.json" "$modules/package-lock.json"; then
        cp "$LUMIRUN_ROOT/web/package.json" "$LUMIRUN_ROOT/web/package-lock.json" "$modules/"
        (cd "$modules" && timeout 600 npm ci --ignore-scripts --no-audit --no-fund) ||
            die "npm could not install the page's video libraries"
    fi
    use_emscripten
    cmake_configure web "$WERROR"
    timeout 1200 cmake --build --preset web || die "building lumirun.html failed"
    local driver="$LUMIRUN_BUILD/web-test" log="$LUMIRUN_WEB/page-test.log"
    mkdir -p "$driver"
    if ! cmp -s "$LUMIRUN_ROOT/tests/web/package-lock.json" "$driver/package-lock.json"; then
        cp "$LUMIRUN_ROOT/tests/web/package.json" "$LUMIRUN_ROOT/tests/web/package-lock.json" "$driver/"
        (cd "$driver" && timeout 600 npm ci --ignore-scripts --no-audit --no-fund) ||
            die "npm could not install the web test's driver"
    fi
    NODE_PATH="$driver/node_modules:$modules/node_modules" timeout 900 node "$LUMIRUN_ROOT/tests/web/page_test.js" \
        "$LUMIRUN_WEB/lumirun.html" "$LUMIRUN_NATIVE/cli/lumirun-render" "$LUMIRUN_ROOT/resources/sample.jpg" \
        "$LUMIRUN_WEB" "$LUMIRUN_NATIVE/tests/lumirun_make_profile" --bench 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || die "the page's test failed"
    note "web: $(grep -c '^ok:' "$log") scenarios passed; $(grep 'lumirun.html:' "$log" | sed 's/^ *//')"
    note "$(grep -E '^benchmark|previews a second' "$log" | sed 's/^ *//')"
}

build_jpeg_windows() { bash "$LUMIRUN_ROOT/scripts/build-libjpeg-mingw.sh"; }

build_webp_windows() { bash "$LUMIRUN_ROOT/scripts/build-libwebp-mingw.sh"; }

build_png_windows() { bash "$LUMIRUN_ROOT/scripts/build-png-mingw.sh"; }

build_lcms2_windows() { bash "$LUMIRUN_ROOT/scripts/build-lcms2-mingw.sh"; }

build_windows() {
    configure_windows "$WERROR"
    cmake_build "$LUMIRUN_WINDOWS"
}

# Console tests need no display, but the Windows programs' tests do: every
# Wine run here has one. Two tests run at a time; those with windows take
# the display one at a time (their RESOURCE_LOCK), beside the console ones.
test_windows() {
    wine_prefix
    start_xvfb
    # Real dialogs and choosers under Wine on a display: a suite that fails is
    # run once more, and both attempts stay in build/windows/ctest.log (one
    # failure of the dialog suite was seen and could not be reproduced in 40
    # later runs).
    run_ctest windows windows --repeat until-pass:2
}

# The zip a Windows user downloads, built as a release is and then unpacked
# and run as a user would (tests/check_windows_package.sh).
package_windows() {
    local version zip first help=()
    version=$(project_version "$LUMIRUN_WINDOWS")
    zip="$LUMIRUN_WINDOWS/lumirun-$version-win64.zip"
    first=$(reproducible_package "$LUMIRUN_WINDOWS" "$zip")
    for file in lumirun.hlp lumirun-help.html; do
        [ -f "$LUMIRUN_WINDOWS/ui/$file" ] && help+=("$LUMIRUN_WINDOWS/ui/$file")
    done
    [ -f "$LUMIRUN_WEB/lumirun.html" ] && help+=("$LUMIRUN_WEB/lumirun.html")
    timeout 600 bash "$LUMIRUN_ROOT/tests/check_windows_package.sh" "$zip" "$version" \
        "$LUMIRUN_WINDOWS/tests/e2e/lumirun_probe.exe" "${help[@]}" || die "the Windows zip failed its checks"
    note "Windows zip: $(basename "$zip"), $(unzip -Z1 "$zip" | wc -l) files, sha256 ${first%% *}"
}

# reproducible_package TREE FILE: builds TREE's package FILE twice and prints
# its sha256 line; two builds of the same commit must give the same bytes.
reproducible_package() {
    local tree=$1 file=$2 first
    cmake_build "$tree" package >&2
    first=$(sha256sum <"$file")
    rm -f "$file"
    cmake_build "$tree" package >/dev/null
    [ "$(sha256sum <"$file")" = "$first" ] || die "two builds of $(basename "$file") differ"
    printf '%s\n' "$first"
}

# The version CMake was configured with (project() in CMakeLists.txt).
project_version() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"; }

# lumirun-render's Debian package, and `cmake --install` of the native tree.
package_native() {
    local version deb first
    version=$(project_version "$LUMIRUN_NATIVE")
    deb="$LUMIRUN_NATIVE/lumirun-render_${version}_$(dpkg --print-architecture).deb"
    first=$(reproducible_package "$LUMIRUN_NATIVE" "$deb")
    local page=()
    [ -f "$LUMIRUN_WEB/lumirun.html" ] && page=("$LUMIRUN_WEB/lumirun.html")
    timeout 600 bash "$LUMIRUN_ROOT/tests/check_debian_package.sh" "$deb" "$version" \
        "$LUMIRUN_NATIVE/cli/lumirun-render" "$LUMIRUN_ROOT/resources/sample.jpg" "${page[@]}" ||
        die "the Debian package failed its checks"
    local prefix
    prefix=$(mktemp -d)
    at_exit "rm -rf '$prefix'"
    cmake --install "$LUMIRUN_NATIVE" --prefix "$prefix" >/dev/null || die "cmake --install failed"
    [ -x "$prefix/bin/lumirun-render" ] && [ -f "$prefix/share/man/man1/lumirun-render.1.gz" ] ||
        die "cmake --install did not install the program and its manual page"
    note "Debian package: $(basename "$deb"), sha256 ${first%% *}"
}

bench_windows() {
    wine_prefix
    timeout 300 wine "$LUMIRUN_WINDOWS/tests/lumirun_bench.exe" --quick || die "Windows benchmark failed"
}

# The native and the Windows lumirun-render must write the same bytes.
# Also a photo lying on its side (Exif orientation 6) and one with a Display
# P3 profile (made by the native tree's lumirun_make_profile), from the sample.
compare_windows() {
    wine_prefix
    local images="$LUMIRUN_JPEG_SRC/testimages" log="$LUMIRUN_BUILD/compare.log" made
    made=$(mktemp -d)
    at_exit "rm -rf '$made'"
    cp "$LUMIRUN_ROOT/resources/sample.jpg" "$made/oriented.jpg"
    cp "$LUMIRUN_ROOT/resources/sample.jpg" "$made/profiled.jpg"
    exiftool -q -n -overwrite_original -Orientation=6 "$made/oriented.jpg" &&
        "$LUMIRUN_NATIVE/tests/lumirun_make_profile" "$made/p3.icc" &&
        exiftool -q -overwrite_original "-ICC_Profile<=$made/p3.icc" "$made/profiled.jpg" ||
        die "could not make the oriented and the profiled photo"
    bash "$LUMIRUN_ROOT/tests/cli_compare.sh" "$LUMIRUN_NATIVE/cli/lumirun-render" \
        "$LUMIRUN_WINDOWS/cli/lumirun-render.exe" "$images/testorig.jpg" "$images/testimgari.jpg" \
        "$images/testimgint.jpg" "$LUMIRUN_ROOT/resources/sample.jpg" "$made/oriented.jpg" \
        "$made/profiled.jpg" 2>&1 | tee "$log"
    note "native = Windows lumirun-render: $(tail -n 1 "$log")"
}

# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# at -O1 as the sanitizers' guides suggest: the tree builds in little more
# than half the time of -O2, and its tests take as long.
# Some tests ask for terabytes and expect the refusal a real allocator gives:
# the sanitize test preset sets ASAN_OPTIONS=allocator_may_return_null=1.
test_sanitized() {
    cmake_configure sanitize "$WERROR"
    cmake_build "$LUMIRUN_BUILD/sanitize"
    run_ctest sanitized sanitize -j "$LUMIRUN_JOBS"
}

# 12 seconds of libFuzzer on each target, the JPEG and PNG readers, the
# Exif parser, the colour profile conversion and the command line's parsers,
# from the seeds and what earlier runs found (scripts/fuzz.sh): enough to
# catch what a change breaks in the paths the seeds reach, within CI's time;
# longer campaigns run it by hand with more minutes (LUMIRUN_FUZZ_SECONDS).
fuzz_reader() {
    local minutes target log="$LUMIRUN_BUILD/fuzz-summary.log"
    minutes=$(awk -v s="${LUMIRUN_FUZZ_SECONDS:-12}" 'BEGIN { printf "%g", s / 60 }')
    for target in jpeg png exif profile options; do
        bash "$LUMIRUN_ROOT/scripts/fuzz.sh" "$minutes" "$target" | tee "$log"
        note "$(tail -n 1 "$log")"
    done
}

# run_ctest NAME PRESET [CTEST-ARGS...]: a bounded run of a test preset (which
# must find tests, and bounds each test to 600 s).
run_ctest() {
    local name=$1 preset=$2 log
    shift 2
    log="$LUMIRUN_BUILD/$preset/ctest.log"
    (cd "$LUMIRUN_ROOT" && timeout 1200 ctest --preset "$preset" "$@") 2>&1 |
        tee "$log" || die "$name tests failed"
    note "$name: $(grep -E 'tests passed' "$log" | tail -n 1)"
}

note() { printf '%s\n' "$*" >>"$NOTES"; }

# ---- Runner ---------------------------------------------------------------

mkdir -p "$LUMIRUN_BUILD"
NOTES="$LUMIRUN_BUILD/test-notes.txt"
: >"$NOTES"
SUMMARY=()
STARTED=$SECONDS
SELECTED=("$@")

selected() {
    local want
    [ "${#SELECTED[@]}" -eq 0 ] && return 0
    for want in "${SELECTED[@]}"; do
        [ "$want" = "$1" ] && return 0
    done
    return 1
}

# step ID HEADING FUNCTION: runs FUNCTION unless other steps were asked for.
step() {
    local id=$1 heading=$2 fn=$3 t0 rc
    selected "$id" || return 0
    printf '\n==== %s [%s] ====\n' "$heading" "$id"
    t0=$SECONDS
    set +e
    (set -e; "$fn")
    rc=$?
    set -e
    SUMMARY+=("$(printf '%-40s %4d s  %s' "$heading" $((SECONDS - t0)) "$([ $rc -eq 0 ] && echo ok || echo FAILED)")")
    if [ $rc -ne 0 ]; then
        summary
        say "test.sh: FAILED at step '$heading' [$id] (exit $rc) after $((SECONDS - STARTED)) s"
        exit 1
    fi
}

summary() {
    printf '\n==== Summary ====\n'
    printf '%s\n' "${SUMMARY[@]}"
    cat "$NOTES"
}

# The steps, in order; a new one is one line here plus its function above.
main() {
    step deps           "Packages"                      install_deps
    step jpeg-source    "libjpeg-turbo source"          fetch_jpeg_source
    step png-source     "libpng source"                 fetch_png_source
    step native-build   "Native build"                  build_native
    step native-tests   "Native tests"                  test_native
    step tsan-renderer  "Renderer under ThreadSanitizer" test_renderer_tsan
    step native-bench   "Benchmark smoke run"           bench_native
    step web            "Browser page (WebAssembly)"    test_web
    step native-package "Debian package"                package_native
    step jpeg-windows   "libjpeg-turbo for Windows"     build_jpeg_windows
    step webp-windows   "libwebp for Windows"           build_webp_windows
    step png-windows    "libpng for Windows"            build_png_windows
    step lcms2-windows  "Little CMS for Windows"        build_lcms2_windows
    step windows-build  "Windows build"                 build_windows
    step windows-tests  "Windows tests under Wine"      test_windows
    step windows-package "Windows zip, unpacked and run" package_windows
    step windows-bench  "Windows benchmark smoke run"   bench_windows
    step compare        "Native and Windows renders"    compare_windows
    step sanitize       "Tests under ASan and UBSan"    test_sanitized
    step fuzz           "Fuzzing the readers and parsers" fuzz_reader

    [ "${#SUMMARY[@]}" -gt 0 ] || die "no step named: ${SELECTED[*]}"
    summary
    say "test.sh: all ${#SUMMARY[@]} steps passed in $((SECONDS - STARTED)) s"
}

main
