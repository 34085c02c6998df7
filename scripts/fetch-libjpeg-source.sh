#!/usr/bin/env bash
# Fetches Debian's libjpeg-turbo source package and unpacks it, with Debian's
# patches applied, into build/deps/libjpeg-turbo-src. The Windows build
# compiles it; the tests read pictures from its testimages/ folder.
# Skips everything when the source is already unpacked there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

exec bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" libjpeg-turbo "$LUMIRUN_JPEG_SRC" testimages/
