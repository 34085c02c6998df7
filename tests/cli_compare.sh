#!/bin/bash
# The native and the Windows lumirun-render must write the same bytes for
# the same picture and settings: libjpeg-turbo's test images and the README's
# sample (an oriented and a profiled photo among the pictures given), at
# several settings each, the first picture in every output format, and
# movies of it, one with one exposure for all its frames.
#
# Usage: tests/cli_compare.sh NATIVE_RENDER WINDOWS_RENDER PICTURE...
#   (the Windows program runs through wine, with the caller's Wine settings)
set -u

native=$1
windows=$2
shift 2
work=$(mktemp -d "${TMPDIR:-/tmp}/lumirun-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
# "" is the smooth renderer (the default), in every direction below too.
settings=("" "--quality low" "--speed 95 --direction 1 --observer 200,-30" "--speed 60 --direction 2 --quality smooth"
          "--speed 90 --direction top-to-bottom --quality medium" "--speed 75 --direction 2 --quality 3"
          "--speed 99 --observer 100,40" "--speed 60 --observer -320,240 --doppler --tonemap reinhard"
          "--speed 90 --direction 2 --doppler=colour --temperature 4000"
          "--speed 90 --observer 320,240 --doppler --tonemap reinhard" "--speed 80 --doppler=colour --exposure auto"
          "--speed 99 --direction 1 --doppler --temperature 1000 --exposure -2.5"
          "--speed 70 --quality 3 --doppler --exposure auto --temperature 23456")
runs=0
failures=0
for picture in "$@"; do
    for setting in "${settings[@]}"; do
        runs=$((runs + 1))
        # shellcheck disable=SC2086
        timeout 300 "$native" "$picture" "$work/native.jpg" --quiet $setting
        native_status=$?
        # shellcheck disable=SC2086
        timeout 300 wine "$windows" "$picture" "$work/windows.jpg" --quiet $setting
        windows_status=$?
        if [ $native_status != 0 ] || [ $windows_status != 0 ]; then
            echo "FAIL: $picture $setting: exit $native_status (native), $windows_status (Windows)" >&2
            failures=$((failures + 1))
        elif ! cmp -s "$work/native.jpg" "$work/windows.jpg"; then
            echo "FAIL: $picture $setting: the two programs wrote different files" >&2
            failures=$((failures + 1))
        else
            echo "same bytes: $(basename "$picture") ${setting:-(defaults)} ($(wc -c < "$work/native.jpg") bytes)"
        fi
        rm -f "$work/native.jpg" "$work/windows.jpg"
    done
done
# Every output format of the first picture.
picture=$1
outputs=("out.png" "out.png --depth 16" "out.webp" "out.webp --lossless" "out.jpg --jpeg-quality 80 --chroma 444")
for output in "${outputs[@]}"; do
    runs=$((runs + 1))
    name=${output%% *}
    options=${output#"$name"}
    mkdir -p "$work/native" "$work/windows"
    # shellcheck disable=SC2086
    timeout 300 "$native" "$picture" "$work/native/$name" --quiet --speed 80 $options
    native_status=$?
    # shellcheck disable=SC2086
    timeout 300 wine "$windows" "$picture" "$work/windows/$name" --quiet --speed 80 $options
    windows_status=$?
    if [ $native_status != 0 ] || [ $windows_status != 0 ]; then
        echo "FAIL: $picture $output: exit $native_status (native), $windows_status (Windows)" >&2
        failures=$((failures + 1))
    elif ! cmp -s "$work/native/$name" "$work/windows/$name"; then
        echo "FAIL: $picture $output: the two programs wrote different files" >&2
        failures=$((failures + 1))
    else
        echo "same bytes: $(basename "$picture") $output ($(wc -c < "$work/native/$name") bytes)"
    fi
    rm -rf "$work/native" "$work/windows"
done
# Movies: a small lossless animation, a frame sequence of each kind, the
# default (near-lossless) animation, a YUV4MPEG2 stream, and one with one
# exposure for all its frames.
movies=("--frames 3 --speed 0:90 --lossless" "--frames 3 --observer 0,0:200,100 --speed 80 --direction 1"
        "--frames 3 --speed 10:60" "--frames 2 --speed 0:90" "--frames 3 --speed 0:90 --chroma 444"
        "--frames 3 --speed 20:95 --doppler --tonemap reinhard")
names=("movie.webp" "frame-%02d.jpg" "frame-%02d.png" "movie.webp" "movie.y4m" "doppler-%02d.jpg")
for i in "${!movies[@]}"; do
    runs=$((runs + 1))
    mkdir -p "$work/native" "$work/windows"
    # shellcheck disable=SC2086
    timeout 300 "$native" "$picture" "$work/native/${names[i]}" --quiet ${movies[i]}
    native_status=$?
    # shellcheck disable=SC2086
    timeout 300 wine "$windows" "$picture" "$work/windows/${names[i]}" --quiet ${movies[i]}
    windows_status=$?
    if [ $native_status != 0 ] || [ $windows_status != 0 ]; then
        echo "FAIL: $picture ${movies[i]}: exit $native_status (native), $windows_status (Windows)" >&2
        failures=$((failures + 1))
    elif [ -z "$(ls -A "$work/native")" ] || ! diff -r "$work/native" "$work/windows" > /dev/null; then
        echo "FAIL: $picture ${movies[i]}: the two programs wrote different files" >&2
        failures=$((failures + 1))
    else
        echo "same bytes: $(basename "$picture") ${movies[i]} ($(ls "$work/native" | wc -l) files," \
            "$(cat "$work/native"/* | wc -c) bytes)"
    fi
    rm -rf "$work/native" "$work/windows"
done
echo "$runs comparisons, $failures failures"
[ "$failures" = 0 ]
