#!/usr/bin/env bash
# Fuzzes the JPEG reader with libFuzzer (ASan, UBSan, against an instrumented
# libjpeg), seeded with libjpeg-turbo's test images, progressive, grayscale
# and CMYK versions of one of them, and files crafted to cost time or memory.
# The corpus grows from run to run in build/fuzz/corpus; a fault fails the
# run and leaves its input in build/fuzz/findings.
#   bash scripts/fuzz.sh [MINUTES]     default 1 (what the test script runs)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

minutes=${1:-1}
seconds=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
[ "$seconds" -gt 0 ] || die "usage: scripts/fuzz.sh [MINUTES]"
dir="$LUMIRUN_BUILD/fuzz"
images="$LUMIRUN_JPEG_SRC/testimages"

bash "$LUMIRUN_ROOT/scripts/build-libjpeg-fuzz.sh"
cmake_configure fuzz -DLUMIRUN_WERROR=ON
cmake_build "$dir" fuzz_jpeg_reader
rm -rf "$dir/seeds"
mkdir -p "$dir/seeds" "$dir/corpus" "$dir/findings"
cp "$images"/*.jpg "$dir/seeds/"
convert "$images/testorig.jpg" -interlace JPEG "$dir/seeds/progressive.jpg"
convert "$images/testorig.jpg" -colorspace Gray "$dir/seeds/gray.jpg"
convert "$images/testorig.jpg" -colorspace CMYK "$dir/seeds/cmyk.jpg"
python3 "$LUMIRUN_ROOT/scripts/craft-jpeg.py" "$images/testorig.jpg" "$dir/seeds/progressive.jpg" "$dir/seeds"

# -timeout: no input may take more than 10 s (the reader bounds scans and
# memory; a slow input is a finding).
(cd "$dir" && timeout $((seconds + 120)) ./fuzz/fuzz_jpeg_reader -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=20000 -close_fd_mask=3 -print_final_stats=1 -artifact_prefix=findings/ \
    corpus seeds) >"$dir/fuzz.log" 2>&1 ||
    { tail -n 60 "$dir/fuzz.log" >&2; die "the fuzzer found a fault: see $dir/findings and $dir/fuzz.log"; }
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/fuzz.log")
say "fuzz: $runs runs of the JPEG reader in $seconds s, corpus $(ls "$dir/corpus" | wc -l) files, no fault"
