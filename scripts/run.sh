#!/usr/bin/env bash
# Builds the program and runs its main job.
# For now that is the console demonstration of the render core, built
# natively; the Windows viewer will run here under Wine.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$LUMIRUN_ROOT/scripts/install-deps.sh" native
configure_native
cmake_build "$LUMIRUN_NATIVE" lumirun-demo
say "---- lumirun-demo ----"
timeout 120 "$LUMIRUN_NATIVE/cli/lumirun-demo" || die "lumirun-demo failed"

# The Windows viewer: install the "windows" package group, build it with
# configure_windows (after scripts/build-libjpeg-mingw.sh), then run it under
# Wine on a private display (scripts/wine-env.sh: wine_prefix, start_xvfb).
