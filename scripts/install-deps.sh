#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages the project builds and tests
# with. Idempotent: when every package is present it changes nothing and
# needs neither root nor the network.
#   bash scripts/install-deps.sh [native|windows|clang|package|tools|web|all]...   (default: all)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The portable core, its tests and benchmarks, built natively; libwebp,
# libpng (with zlib) and Little CMS for lumirun-render's pictures and movies.
# For the tests only: webp (its tools, to check what we write),
# libjpeg-turbo-progs (cjpeg, djpeg, jpegtran), exiftool, liblcms2-utils
# (transicc), icc-profiles-free, ffmpeg (decodes our movies; lumirun-render
# itself only suggests it), ImageMagick (reads animated WebP), python3 and
# tidy (checks the HTML help page).
PKGS_NATIVE=(g++ cmake ninja-build pkg-config libjpeg62-turbo-dev libwebp-dev libpng-dev zlib1g-dev liblcms2-dev
    webp libgtest-dev googletest libbenchmark-dev libjpeg-turbo-progs libimage-exiftool-perl liblcms2-utils
    icc-profiles-free ffmpeg imagemagick python3 tidy)
# The Windows build (mingw-w64, nasm and Debian's libjpeg-turbo source) and
# running it under Wine without a display. fonts-wine is only a Recommends
# of wine, but without it dialogs have no usable font.
# zlib for libpng comes built for mingw-w64 (libz-mingw-w64-dev).
PKGS_WINDOWS=(g++-mingw-w64-x86-64 nasm dpkg-dev libz-mingw-w64-dev wine wine64 fonts-wine xvfb xdotool imagemagick)
# Building and checking the packages: CPack's Debian generator runs file and
# dpkg-shlibdeps; unzip, the manual page's lint, lintian.
PKGS_PACKAGE=(file dpkg-dev unzip mandoc lintian)
# The browser edition: emscripten builds the core for WebAssembly (and,
# with dpkg-dev, the libraries from Debian's sources), Chromium's headless
# shell runs the page's test; npm installs the test's pinned driver. A
# node that is already installed (any vendor's) is kept: npm comes with it.
PKGS_WEB=(emscripten chromium-headless-shell dpkg-dev)
command -v npm >/dev/null || PKGS_WEB+=(npm)
# Fuzzing and sanitizer builds.
PKGS_CLANG=(clang libclang-rt-14-dev)
# Scripts that write tables the build compiles (scripts/fit-spectral-basis.py);
# the build itself does not need them.
PKGS_TOOLS=(python3-numpy python3-scipy)

wanted=()
for group in "${@:-all}"; do
    case "$group" in
        native) wanted+=("${PKGS_NATIVE[@]}") ;;
        windows) wanted+=("${PKGS_WINDOWS[@]}") ;;
        clang) wanted+=("${PKGS_CLANG[@]}") ;;
        package) wanted+=("${PKGS_PACKAGE[@]}") ;;
        tools) wanted+=("${PKGS_TOOLS[@]}") ;;
        web) wanted+=("${PKGS_WEB[@]}") ;;
        all) wanted+=("${PKGS_NATIVE[@]}" "${PKGS_WINDOWS[@]}" "${PKGS_CLANG[@]}" "${PKGS_PACKAGE[@]}" "${PKGS_TOOLS[@]}" "${PKGS_WEB[@]}") ;;
        *) die "unknown package group '$group' (native, windows, clang, package, tools, web, all)" ;;
    esac
done

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$pkg")
done

if [ "${#missing[@]}" -eq 0 ]; then
    say "All ${#wanted[@]} packages are installed."
    exit 0
fi

say "Installing: ${missing[*]}"
APT_TIMEOUT=600 apt_get update || die "apt-get update failed"
apt_get install "${missing[@]}" || die "apt-get install failed for: ${missing[*]}"
