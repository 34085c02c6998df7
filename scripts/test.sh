#!/usr/bin/env bash
# The one command that builds everything and runs every test, natively and
# as Windows executables under Wine. Stops at the first failing step.
#   bash scripts/test.sh              all steps
#   bash scripts/test.sh ID...        only the steps named (see main below)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
. "$LUMIRUN_ROOT/scripts/wine-env.sh"

# ---- Steps ----------------------------------------------------------------
# Each runs in a subshell with errexit on: anything it starts (Xvfb, Wine)
# ends with it. A step may add a line to the final summary with `note`.

install_deps() { bash "$LUMIRUN_ROOT/scripts/install-deps.sh" all; }

fetch_jpeg_source() { bash "$LUMIRUN_ROOT/scripts/fetch-libjpeg-source.sh"; }

build_native() {
    configure_native
    cmake_build "$LUMIRUN_NATIVE"
}

test_native() { run_ctest native "$LUMIRUN_NATIVE" -j "$LUMIRUN_JOBS"; }

build_jpeg_windows() { bash "$LUMIRUN_ROOT/scripts/build-libjpeg-mingw.sh"; }

build_windows() {
    configure_windows
    cmake_build "$LUMIRUN_WINDOWS"
}

# Console tests need no display, but the Windows programs' tests do: every
# Wine run here has one.
test_windows() {
    wine_prefix
    start_xvfb
    run_ctest windows "$LUMIRUN_WINDOWS"
}

# run_ctest NAME DIR [CTEST-ARGS...]: a bounded ctest run that must find tests.
run_ctest() {
    local name=$1 dir=$2 log
    shift 2
    log="$dir/ctest.log"
    timeout 1200 ctest --test-dir "$dir" --output-on-failure --no-tests=error --timeout 600 "$@" 2>&1 |
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
    step native-build   "Native build"                  build_native
    step native-tests   "Native tests"                  test_native
    step jpeg-windows   "libjpeg-turbo for Windows"     build_jpeg_windows
    step windows-build  "Windows build"                 build_windows
    step windows-tests  "Windows tests under Wine"      test_windows

    [ "${#SUMMARY[@]}" -gt 0 ] || die "no step named: ${SELECTED[*]}"
    summary
    say "test.sh: all ${#SUMMARY[@]} steps passed in $((SECONDS - STARTED)) s"
}

main
