#!/usr/bin/env bash
# Fuzzes with libFuzzer (ASan, UBSan) one of five targets:
#   jpeg     the JPEG reader, against an instrumented libjpeg, seeded with
#            libjpeg-turbo's test images, progressive, grayscale and CMYK
#            versions of one of them, and files crafted to cost time or memory;
#   png      the PNG reader, then the profile and orientation its iCCP and
#            eXIf chunks give, seeded with libpng's test files (the PNG
#            suite and its other test pictures) and files of every colour
#            type crafted with those chunks (scripts/craft-seeds.py);
#   exif     the Exif parser and the turn it asks for, seeded with crafted
#            blocks in both byte orders, each orientation, offsets out of
#            range and loops;
#   profile  the colour profile conversion, the bytes as an ICC profile
#            applied to a small picture, seeded with the system's profiles
#            (icc-profiles-free) and crafted RGB and grey ones, with a
#            dictionary of the format's signatures;
#   options  lumirun-render's option and frame-pattern parsers, seeded with
#            command lines (arguments split at NULs) and a dictionary of
#            the command line's words.
# Each target's corpus grows from run to run in build/fuzz/corpus-TARGET; a
# fault fails the run and leaves its input in build/fuzz/findings. libpng
# and Little CMS are Debian's, not instrumented: the fuzzer is guided by
# the coverage of our own code only.
#   bash scripts/fuzz.sh [MINUTES] [TARGET]     default 1 minute of jpeg
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

minutes=${1:-1}
target=${2:-jpeg}
seconds=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
[ "$seconds" -gt 0 ] || die "usage: scripts/fuzz.sh [MINUTES] [jpeg|png|exif|profile|options]"
dir="$LUMIRUN_BUILD/fuzz"
images="$LUMIRUN_JPEG_SRC/testimages"

bash "$LUMIRUN_ROOT/scripts/build-libjpeg-fuzz.sh"
cmake_configure fuzz -DLUMIRUN_WERROR=ON
seeds="$dir/seeds-$target"
rm -rf "$seeds"
mkdir -p "$seeds" "$dir/corpus-$target" "$dir/findings"
case $target in
jpeg)
    program=fuzz_jpeg_reader
    what="the JPEG reader"
    # -timeout: no input may take more than 10 s (the reader bounds scans
    # and memory; a slow input is a finding).
    options=(-timeout=10 -rss_limit_mb=2048 -max_len=20000)
    cp "$images"/*.jpg "$seeds/"
    convert "$images/testorig.jpg" -interlace JPEG "$seeds/progressive.jpg"
    convert "$images/testorig.jpg" -colorspace Gray "$seeds/gray.jpg"
    convert "$images/testorig.jpg" -colorspace CMYK "$seeds/cmyk.jpg"
    python3 "$LUMIRUN_ROOT/scripts/craft-jpeg.py" "$images/testorig.jpg" "$seeds/progressive.jpg" "$seeds"
    ;;
options)
    program=fuzz_render_options
    what="the option and frame-pattern parsers"
    options=(-timeout=5 -rss_limit_mb=1024 -max_len=512 -dict="$LUMIRUN_ROOT/fuzz/render_options.dict")
    n=0
    while IFS= read -r line; do
        n=$((n + 1))
        printf '%s' "$line" | tr ' ' '\0' > "$seeds/line-$n"
    done <<'LINES'
in.jpg out.jpg --speed 90 --direction top-to-bottom --quality=ultra --observer 100,20
in.jpg out.jpg --doppler=colour --temperature 5000 --exposure -1.5 --tonemap reinhard --quiet
in.jpg movie.webp --frames 48 --speed 10:95% --observer -5,7:300,-2 --fps 12.5 --lossless
in.jpg frame-%04d.jpg --frames=3 --observer 0,0:226,148 --overwrite
- 50%%-%d.jpg --frames 2 --speed 0:1e1
in.jpg speed-50%.webp --frames 100000 --speed 0:99.999
--help
--version
LINES
    ;;
png)
    program=fuzz_png_reader
    what="the PNG reader"
    # -malloc_limit_mb: with the picture's memory bounded, no block of a
    # few kilobytes may make the reader (or libpng) ask for more at once.
    options=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256 -max_len=20000 -dict="$LUMIRUN_ROOT/fuzz/png.dict")
    bash "$LUMIRUN_ROOT/scripts/fetch-debian-source.sh" libpng1.6 "$LUMIRUN_PNG_SRC" png.h
    # Each file under its folder's name: the suite's and the test
    # pictures' names meet.
    for file in "$LUMIRUN_PNG_SRC"/contrib/{pngsuite,pngsuite/interlaced,testpngs,testpngs/crashers}/*.png; do
        folder=${file%/*}
        cp "$file" "$seeds/${folder##*/}-${file##*/}"
    done
    python3 "$LUMIRUN_ROOT/scripts/craft-seeds.py" png "$seeds"
    ;;
exif)
    program=fuzz_exif_orientation
    what="the Exif parser"
    options=(-timeout=5 -rss_limit_mb=1024 -max_len=4096)
    python3 "$LUMIRUN_ROOT/scripts/craft-seeds.py" exif "$seeds"
    ;;
profile)
    program=fuzz_colour_profile
    what="the colour profile conversion"
    options=(-timeout=10 -rss_limit_mb=2048 -max_len=16384 -dict="$LUMIRUN_ROOT/fuzz/icc_profile.dict")
    [ -d /usr/share/color/icc ] || die "no ICC profiles in /usr/share/color/icc: run scripts/install-deps.sh native"
    # The system's profiles that fit in an input (the larger ones are
    # tables of thousands of points, the same kinds as the small ones).
    find /usr/share/color/icc -type f \( -iname '*.icc' -o -iname '*.icm' \) -size -16k |
        while IFS= read -r file; do cp "$file" "$seeds/system-$(basename "$(dirname "$file")")-${file##*/}"; done
    python3 "$LUMIRUN_ROOT/scripts/craft-seeds.py" profile "$seeds"
    ;;
*) die "unknown fuzz target '$target': jpeg, png, exif, profile or options" ;;
esac
cmake_build "$dir" "$program"

log="$dir/fuzz-$target.log"
(cd "$dir" && timeout $((seconds + 120)) "./fuzz/$program" -max_total_time="$seconds" "${options[@]}" \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix=findings/ "corpus-$target" "$seeds") >"$log" 2>&1 ||
    { tail -n 60 "$log" >&2; die "the fuzzer found a fault: see $dir/findings and $log"; }
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
say "fuzz: $runs runs of $what in $seconds s, corpus $(ls "$dir/corpus-$target" | wc -l) files, ${coverage:-no coverage figures}, no fault"
