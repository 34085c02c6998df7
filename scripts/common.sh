# Shared helpers for the scripts in this folder; source it, don't run it.
# Sets LUMIRUN_ROOT (the repository) and LUMIRUN_BUILD (its build/ folder).

LUMIRUN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LUMIRUN_BUILD="$LUMIRUN_ROOT/build"
# Fixed locations shared by the scripts and CMakePresets.json.
LUMIRUN_JPEG_SRC="$LUMIRUN_BUILD/deps/libjpeg-turbo-src"
LUMIRUN_JPEG_MINGW="$LUMIRUN_BUILD/deps/libjpeg-mingw"
LUMIRUN_WEBP_SRC="$LUMIRUN_BUILD/deps/libwebp-src"
LUMIRUN_WEBP_MINGW="$LUMIRUN_BUILD/deps/libwebp-mingw"
LUMIRUN_JPEG_WASM="$LUMIRUN_BUILD/deps/libjpeg-wasm"
LUMIRUN_WEBP_WASM="$LUMIRUN_BUILD/deps/libwebp-wasm"
# The machine is shared: never more than two build jobs.
LUMIRUN_JOBS=${LUMIRUN_JOBS:-2}

say() { printf '%s\n' "$*"; }
die() { printf 'ERROR: %s\n' "$*" >&2; exit 1; }

# has_files PREFIX FILE...: true when every FILE (relative to PREFIX) is there.
has_files() {
    local prefix=$1 file
    shift
    for file in "$@"; do
        [ -f "$prefix/$file" ] || return 1
    done
}

# built_already LABEL PREFIX FILE...: true, after saying so, when PREFIX
# holds the stamp of an earlier build of ours and every FILE: each library
# script builds once.
built_already() {
    local label=$1 prefix=$2
    shift 2
    [ -f "$prefix/.lumirun-built" ] && has_files "$prefix" "$@" || return 1
    say "$label: $(cat "$prefix/.lumirun-built") in $prefix"
}

# Runs a command as root: directly, or through sudo when it asks no password.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
        sudo -n "$@"
    else
        die "needs root (or password-less sudo): $*"
    fi
}

# apt without questions, waiting a bounded time for another apt to finish.
apt_get() {
    as_root env DEBIAN_FRONTEND=noninteractive timeout "${APT_TIMEOUT:-1200}" \
        apt-get -q -y -o DPkg::Lock::Timeout=300 \
        -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "$@" </dev/null
}

# Cleanup actions run once, last added first, when the shell exits (also on
# a signal). Each script that starts something registers how to end it here.
# A subshell starts its own list, so it never runs its parent's actions.
at_exit() {
    if [ "${LUMIRUN_AT_EXIT_OWNER:-}" != "$BASHPID" ]; then
        LUMIRUN_AT_EXIT=()
        LUMIRUN_AT_EXIT_OWNER=$BASHPID
        trap lumirun_run_at_exit EXIT
        trap 'exit 130' INT
        trap 'exit 143' TERM HUP
    fi
    LUMIRUN_AT_EXIT+=("$*")
}
lumirun_run_at_exit() {
    local i
    for ((i = ${#LUMIRUN_AT_EXIT[@]} - 1; i >= 0; i--)); do
        eval "${LUMIRUN_AT_EXIT[i]}" || true
    done
    LUMIRUN_AT_EXIT=()
}

# The build trees are configured by the presets of CMakePresets.json, one
# for each, in build/PRESET; the scripts add only options of the run.
LUMIRUN_NATIVE="$LUMIRUN_BUILD/native"
LUMIRUN_WINDOWS="$LUMIRUN_BUILD/windows"
LUMIRUN_WEB="$LUMIRUN_BUILD/web"

# Debian's emscripten runs its JavaScript tools with whatever node is first
# on the PATH; a node that is not Debian's own finds Debian's modules (acorn)
# only through NODE_PATH.
use_emscripten() {
    command -v emcmake >/dev/null || die "emscripten missing: run scripts/install-deps.sh web"
    export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"
}

# cmake_configure PRESET [CMAKE-ARGS...]
cmake_configure() {
    local preset=$1
    shift
    timeout 300 cmake -S "$LUMIRUN_ROOT" --preset "$preset" "$@" ||
        die "configuring $LUMIRUN_BUILD/$preset failed"
}

# cmake_build DIR [TARGET...]
cmake_build() {
    local dir=$1 targets=()
    shift
    [ "$#" -eq 0 ] || targets=(--target "$@")
    timeout 1200 cmake --build "$dir" -j "$LUMIRUN_JOBS" "${targets[@]}" || die "building $dir failed"
}

configure_native() { cmake_configure native "$@"; }
configure_windows() { cmake_configure windows "$@"; }

# libpng and Little CMS, cross-built for Windows from Debian's source
# packages (scripts/build-png-mingw.sh, scripts/build-lcms2-mingw.sh).
LUMIRUN_PNG_SRC="$LUMIRUN_BUILD/deps/libpng-src"
LUMIRUN_PNG_MINGW="$LUMIRUN_BUILD/deps/libpng-mingw"
LUMIRUN_LCMS2_SRC="$LUMIRUN_BUILD/deps/lcms2-src"
LUMIRUN_LCMS2_MINGW="$LUMIRUN_BUILD/deps/lcms2-mingw"

# zlib, libpng and Little CMS built for WebAssembly from Debian's source
# packages (scripts/build-png-wasm.sh, scripts/build-lcms2-wasm.sh): zlib
# and libpng share one prefix.
LUMIRUN_ZLIB_SRC="$LUMIRUN_BUILD/deps/zlib-src"
LUMIRUN_PNG_WASM="$LUMIRUN_BUILD/deps/libpng-wasm"
LUMIRUN_LCMS2_WASM="$LUMIRUN_BUILD/deps/lcms2-wasm"
