#!/bin/bash
# lumirun-render from the outside: exit status, messages, and which files a
# run leaves behind, on libjpeg-turbo's test images and on broken files.
#
# Usage: tests/cli_render_test.sh TESTIMAGES COMMAND...
#   COMMAND runs lumirun-render, e.g. build/native/cli/lumirun-render or
#   wine build/windows/cli/lumirun-render.exe
set -u

images=$1
shift
render=("$@")
work=$(mktemp -d "${TMPDIR:-/tmp}/lumirun-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
checks=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# run EXPECTED_STATUS ARGS...: runs the renderer; its standard error (carriage
# returns of the Windows build removed) is then in $work/err.
run() {
    local expected=$1
    shift
    checks=$((checks + 1))
    timeout 300 "${render[@]}" "$@" > "$work/out" 2> "$work/err.raw"
    local status=$?
    tr -d '\r' < "$work/err.raw" > "$work/err"
    if [ "$status" != "$expected" ]; then
        fail "exit status $status, not $expected: $*"
        sed 's/^/  | /' "$work/err" >&2
        return 1
    fi
    return 0
}

expect_err() {
    if ! printf '%s' "$1" | cmp -s - "$work/err"; then
        fail "standard error differs for $2"
        diff <(printf '%s' "$1") "$work/err" | sed 's/^/  | /' >&2
    fi
}

# expect_err_lines PATTERN...: standard error holds as many lines, each
# matching its shell pattern (the system's own words differ by platform).
expect_err_lines() {
    local line i=0 patterns=("$@")
    [ "$(wc -l < "$work/err")" = "${#patterns[@]}" ] || fail "expected ${#patterns[@]} lines: $(cat "$work/err")"
    while IFS= read -r line; do
        # shellcheck disable=SC2053
        [[ $line == ${patterns[i]} ]] || fail "line $((i + 1)) '$line' is not like '${patterns[i]}'"
        i=$((i + 1))
    done < "$work/err"
}

expect_absent() {
    [ ! -e "$1" ] || fail "$1 was left behind"
}

is_jpeg() {
    [ "$(head -c 3 "$1" | od -An -tx1 | tr -d ' \n')" = "ffd8ff" ]
}

for name in testorig.jpg testimgari.jpg testimgint.jpg; do
    rm -f "$work/$name"
    if run 0 "$images/$name" "$work/$name"; then
        expect_err "" "$name"
        is_jpeg "$work/$name" || fail "$name: output is not a JPEG file"
        # Same input, same settings: the same bytes.
        run 0 "$images/$name" "$work/again.jpg" && cmp -s "$work/$name" "$work/again.jpg" \
            || fail "$name: two runs wrote different files"
    fi
done
cmp -s "$work/testimgari.jpg" "$work/testimgint.jpg" \
    || fail "arithmetic-coded and Huffman-coded twins rendered differently"

# Every setting changes the picture.
run 0 "$images/testorig.jpg" "$work/set.jpg" --speed 90 --direction top-to-bottom --quality 2 --observer 100,20
cmp -s "$work/set.jpg" "$work/testorig.jpg" && fail "settings made no difference"

# The colour pass: at speed 0 it is the identity; at speed it changes the
# picture, differently in its two modes.
run 0 "$images/testorig.jpg" "$work/rest.jpg" --speed 0
run 0 "$images/testorig.jpg" "$work/rest-doppler.jpg" --speed 0 --doppler --temperature 5000
cmp -s "$work/rest.jpg" "$work/rest-doppler.jpg" || fail "--doppler changed the picture at speed 0"
fast=(--speed 90 --direction straight-at-it)
run 0 "$images/testorig.jpg" "$work/plain.jpg" "${fast[@]}"
run 0 "$images/testorig.jpg" "$work/full.jpg" "${fast[@]}" --doppler
run 0 "$images/testorig.jpg" "$work/colour.jpg" "${fast[@]}" --doppler=colour
cmp -s "$work/plain.jpg" "$work/full.jpg" && fail "--doppler made no difference"
cmp -s "$work/plain.jpg" "$work/colour.jpg" && fail "--doppler=colour made no difference"
cmp -s "$work/full.jpg" "$work/colour.jpg" && fail "--doppler=colour gave the same picture as --doppler"
# --effects: all is the default's picture; none is the picture at rest
# whatever the speed, with the exact qualities too; Doppler colours without
# the light's travel are refused.
run 0 "$images/testorig.jpg" "$work/all.jpg" "${fast[@]}" --effects all
cmp -s "$work/plain.jpg" "$work/all.jpg" || fail "--effects all changed the picture"
run 0 "$images/testorig.jpg" "$work/none.jpg" --speed 90 --effects none
cmp -s "$work/rest.jpg" "$work/none.jpg" || fail "--effects none is not the picture at rest"
run 0 "$images/testorig.jpg" "$work/light.jpg" --speed 90 --effects light-time --doppler
cmp -s "$work/rest.jpg" "$work/light.jpg" && fail "--effects light-time made no difference"
run 0 "$images/testorig.jpg" "$work/exact-rest.jpg" --speed 0 --quality high
run 0 "$images/testorig.jpg" "$work/exact-none.jpg" --speed 90 --quality high --effects none
cmp -s "$work/exact-rest.jpg" "$work/exact-none.jpg" || fail "--effects none --quality high is not the picture at rest"
run 2 "$images/testorig.jpg" "$work/shifted.jpg" --effects contraction --doppler
expect_err "lumirun-render: --doppler needs --effects all or light-time: contraction shows no light travelling, so nothing to shift
lumirun-render: Try 'lumirun-render --help' for more information.
" "--doppler with --effects contraction"
expect_absent "$work/shifted.jpg"

run 0 "$images/testorig.jpg" "$work/dark.jpg" "${fast[@]}" --doppler --exposure -12
expect_err "lumirun-render: warning: the picture comes out nearly black; a brighter --exposure (in stops, or auto) shows more
" "a nearly black picture"
run 2 "$images/testorig.jpg" "$work/tonemap.jpg" --tonemap reinhard
expect_err "lumirun-render: --temperature, --exposure and --tonemap need --doppler
lumirun-render: Try 'lumirun-render --help' for more information.
" "a colour setting without --doppler"
expect_absent "$work/tonemap.jpg"

# A file the library rejects in its header: its message, then ours.
run 1 "$images/testorig12.jpg" "$work/out12.jpg"
expect_err "lumirun-render: Unsupported JPEG data precision 12
lumirun-render: Error opening file $images/testorig12.jpg.
" "12-bit file"
expect_absent "$work/out12.jpg"

# A missing file: the reader's message, then the one for the failed open.
run 1 "$work/missing.jpg" "$work/out.jpg"
expect_err "lumirun-render: Error: Can't open file $work/missing.jpg for reading: No such file or directory.
lumirun-render: Error opening file $work/missing.jpg.
" "missing file"
# A folder: its own reason, not an empty file's.
run 1 "$work" "$work/out.jpg"
expect_err "lumirun-render: Error: Can't open file $work for reading: Is a directory.
lumirun-render: Error opening file $work.
" "a folder as input"
expect_absent "$work/out.jpg"

printf 'not a picture\n' > "$work/text.jpg"
run 1 "$work/text.jpg" "$work/out.jpg"
expect_err "lumirun-render: Not a JPEG file: starts with 0x6e 0x6f
lumirun-render: Error opening file $work/text.jpg.
" "not a JPEG file"
expect_absent "$work/out.jpg"

: > "$work/empty.jpg"
run 1 "$work/empty.jpg" "$work/out.jpg"
expect_absent "$work/out.jpg"

# Cut short in the scan data: the library completes the picture.
size=$(wc -c < "$images/testorig.jpg")
head -c $((size * 2 / 3)) "$images/testorig.jpg" > "$work/truncated.jpg"
run 0 "$work/truncated.jpg" "$work/truncated-out.jpg" && expect_err "lumirun-render: warning: Premature end of JPEG file
" "truncated file"
is_jpeg "$work/truncated-out.jpg" || fail "truncated file gave no picture"

# Output that cannot be created.
run 1 "$images/testorig.jpg" "$work/no-folder/out.jpg"
expect_err_lines "lumirun-render: Error: Can't open file $work/no-folder/out.jpg for writing: ?*." \
    "lumirun-render: Error saving file $work/no-folder/out.jpg."
expect_absent "$work/no-folder"

# A rendered picture wider than a JPEG file may be is refused once its size
# is known, before it is drawn, and the file it would have replaced stays as
# it was.
printf 'old' > "$work/old.jpg"
run 1 "$images/testorig.jpg" "$work/old.jpg" --speed 99.99999
expect_err_lines "lumirun-render: Error: the rendered picture would be [0-9]* by [0-9]* pixels; a JPEG file holds at most 65500 on a side."
[ "$(cat "$work/old.jpg")" = old ] || fail "refused save changed the old file"

# A successful run replaces an existing file and leaves nothing else.
mkdir "$work/replace" && printf 'old' > "$work/replace/out.jpg"
run 0 "$images/testorig.jpg" "$work/replace/out.jpg" && is_jpeg "$work/replace/out.jpg" \
    || fail "existing output not replaced"
[ "$(ls -A "$work/replace")" = out.jpg ] || fail "stray files: $(ls -A "$work/replace")"

# "-" reads standard input and writes standard output: the same bytes.
run 0 - - < "$images/testorig.jpg" && cmp -s "$work/out" "$work/testorig.jpg" \
    || fail "standard input to standard output differs from a file's render"

# Usage errors: status 2, one line and a hint, no file.
for arguments in "--speed abc" "--speed 100" "--speed -5" "--speed 0x10" "--speed inf" "--direction 3" "--quality 0" "--observer 4" "--bogus"; do
    # shellcheck disable=SC2086
    run 2 "$images/testorig.jpg" "$work/usage.jpg" $arguments
    [ "$(wc -l < "$work/err")" = 2 ] && grep -q "^lumirun-render: " "$work/err" \
        || fail "usage error for '$arguments' not reported in one line and a hint"
    expect_absent "$work/usage.jpg"
done
run 2 "$images/testorig.jpg"
for arguments in "--frames 3 --speed 50:100" "--frames 3 --speed a:b" "--frames 0 --speed 0:90" "--frames 3" \
    "--frames 3 --observer 1,2:" "--speed 0:90" "--frames 3 --speed 0:90 --fps 0x10" \
    "--frames 3 --speed 0:90 --size 0x9" "--duration 1 --speed 0:90 --size 99999x9" "--duration -1 --speed 0:90" \
    "--duration 1 --frames 3 --speed 0:90" "--frames 3 --speed 0:90 --fill"; do
    # shellcheck disable=SC2086
    run 2 "$images/testorig.jpg" "$work/usage.webp" $arguments
    [ "$(wc -l < "$work/err")" = 2 ] && grep -q "^lumirun-render: " "$work/err" \
        || fail "usage error for '$arguments' not reported in one line and a hint"
    expect_absent "$work/usage.webp"
done

# Movies. An animated WebP: the frames and one canvas (webpmux reads it back),
# as large as the largest frame, here the photo at speed 0 (the smooth
# renderer's frames have no alignment columns).
if run 0 "$images/testorig.jpg" "$work/movie.webp" --frames 3 --speed 0:90 --lossless --observer 20,70; then
    expect_err "" "movie"
    [ "$(head -c 4 "$work/movie.webp")" = RIFF ] || fail "movie.webp is not a RIFF file"
    if command -v webpmux > /dev/null; then
        webpmux -info "$work/movie.webp" > "$work/info" 2>&1
        grep -q "^Number of frames: 3$" "$work/info" && grep -q "^Canvas size: 227 x 149$" "$work/info" \
            && grep -q "Loop Count : 0" "$work/info" || fail "movie.webp: $(tr '\n' ' ' < "$work/info")"
    fi
fi
# A frame sequence, every frame the canvas's size.
if run 0 "$images/testorig.jpg" "$work/frame-%03d.jpg" --frames 3 --observer 0,0:226,148 --quality 2; then
    for k in 000 001 002; do is_jpeg "$work/frame-$k.jpg" || fail "frame-$k.jpg is not a JPEG file"; done
    expect_absent "$work/frame-003.jpg"
fi
# --size and --duration: every frame of the stream the size asked for, as
# many frames as the seconds at the frame rate give (0.5 s at 6 a second),
# the same bytes in both builds (the exact renderer's frames, resampled).
for framing in "--fit 8121f873c8062abb" "--fill c3a12b4e4a082ae1"; do
    if run 0 "$images/testorig.jpg" "$work/sized.y4m" --duration 0.5 --fps 6 --speed 0:90 --size 32x20 \
        "${framing% *}" --quality low; then
        header=$(head -n 1 "$work/sized.y4m")
        [[ $header == "YUV4MPEG2 W32 H20 F6:1 "* ]] || fail "sized.y4m ${framing% *}: $header"
        [ "$(wc -c < "$work/sized.y4m")" = $((${#header} + 1 + 3 * (6 + 32 * 20 * 3 / 2))) ] \
            || fail "sized.y4m ${framing% *}: not 3 frames of 32 by 20"
        [ "$(sha256sum < "$work/sized.y4m" | head -c 16)" = "${framing#* }" ] \
            || fail "sized.y4m ${framing% *}: other bytes, $(sha256sum < "$work/sized.y4m")"
    fi
done
# --doppler-map: the Doppler factors in false colour and their legend, the
# same bytes in both builds (the exact renderer's D at each pixel's sample).
if run 0 "$images/testorig.jpg" "$work/map.png" --speed 80 --doppler-map --quality low; then
    [ "$(sha256sum < "$work/map.png" | head -c 16)" = d0618c2940fa128c ] \
        || fail "map.png: other bytes, $(sha256sum < "$work/map.png")"
fi
# A canvas WebP cannot hold is refused before anything is written.
run 1 "$images/testorig.jpg" "$work/wide.webp" --frames 2 --speed 0:99.999 --quality low
expect_err "lumirun-render: The movie's canvas of 16540 by 149 pixels passes the 16383-pixel limit of WebP on a side.
" "canvas too wide for WebP"
expect_absent "$work/wide.webp"
# A movie of the colour shift: the same canvas, other colours.
if run 0 "$images/testorig.jpg" "$work/plain.webp" --frames 2 --speed 0:60 --lossless \
    && run 0 "$images/testorig.jpg" "$work/shifted.webp" --frames 2 --speed 0:60 --lossless --doppler; then
    ! cmp -s "$work/plain.webp" "$work/shifted.webp" || fail "--doppler changed no frame of the movie"
    [ "$(head -c 4 "$work/shifted.webp")" = RIFF ] || fail "shifted.webp is not a RIFF file"
fi
# A movie into a folder that does not exist is refused before any frame.
run 1 "$images/testorig.jpg" "$work/no-folder/movie.webp" --frames 3 --speed 0:50
expect_err_lines "lumirun-render: Error: Can't open file $work/no-folder/movie.webp for writing: ?*." \
    "lumirun-render: Error saving file $work/no-folder/movie.webp."
# Every frame's name is checked before any work: a folder where frame 1
# goes stops the movie before frame 0 is written.
mkdir -p "$work/seq/f-1.jpg"
run 1 "$images/testorig.jpg" "$work/seq/f-%d.jpg" --frames 3 --speed 10:20
[ "$(tail -n 1 "$work/err")" = "lumirun-render: Error saving file $work/seq/f-1.jpg (frame 1); no frame is written." ] \
    || fail "failed frame not named: $(cat "$work/err")"
[ "$(ls -A "$work/seq" | tr '\n' ' ')" = "f-1.jpg " ] || fail "after a refused frame: $(ls -A "$work/seq")"
# So is its folder (missing).
run 1 "$images/testorig.jpg" "$work/no-folder/f-%d.jpg" --frames 3 --speed 10:20
expect_err_lines "lumirun-render: Error: Can't open file $work/no-folder/f-0.jpg for writing: ?*." \
    "lumirun-render: Error saving file $work/no-folder/f-0.jpg (frame 0); no frame is written."

# A frame pattern never replaces a file unless --overwrite, and never the
# input: refused before any work with status 2, naming the first such file.
mkdir "$work/ow"
cp "$images/testorig.jpg" "$work/ow/photo-0002.jpg"
printf 'old' > "$work/ow/photo-0001.jpg"
run 2 "$work/ow/photo-0002.jpg" "$work/ow/photo-%04d.jpg" --frames 5 --speed 0:50
expect_err "lumirun-render: Error: $work/ow/photo-0001.jpg (frame 1) exists; a movie replaces existing files only with --overwrite.
" "a frame pattern over existing files"
run 2 "$work/ow/photo-0002.jpg" "$work/ow/photo-%04d.jpg" --frames 5 --speed 0:50 --overwrite
expect_err "lumirun-render: Error: $work/ow/photo-0002.jpg (frame 2) exists; it is the input picture, which a movie never replaces.
" "a frame pattern over its input"
[ "$(ls -A "$work/ow" | tr '\n' ' ')" = "photo-0001.jpg photo-0002.jpg " ] && [ "$(cat "$work/ow/photo-0001.jpg")" = old ] \
    && cmp -s "$work/ow/photo-0002.jpg" "$images/testorig.jpg" || fail "a refused frame pattern changed files"
run 0 "$images/testorig.jpg" "$work/ow/photo-%04d.jpg" --frames 3 --speed 0:50 --overwrite
is_jpeg "$work/ow/photo-0001.jpg" || fail "--overwrite did not replace photo-0001.jpg"
# A .webp name takes % literally.
run 0 "$images/testorig.jpg" "$work/speed-50%.webp" --frames 2 --speed 0:50
[ "$(head -c 4 "$work/speed-50%.webp")" = RIFF ] || fail "speed-50%.webp not written"

# A closed standard output: the system's reason (not the library's guess
# of a full disk), status 1.
checks=$((checks + 1))
"${render[@]}" "$images/testorig.jpg" - >&- 2> "$work/err.raw"
status=$?
tr -d '\r' < "$work/err.raw" > "$work/err"
[ "$status" = 1 ] || fail "closed standard output: status $status"
expect_err_lines "lumirun-render: Error: Can't write file (standard output): ?*." "lumirun-render: Error saving file -."
grep -q "out of disk space" "$work/err" && fail "closed standard output taken for a full disk"

# Windows only: devices by their names, and the path's length in full.
if [ "${render[0]}" = wine ]; then
    run 0 "$images/testorig.jpg" NUL && expect_err "" "NUL as OUTPUT"
    # A short relative name in a deep folder passes 259 characters in full.
    deep="$work/$(printf 'd%.0s' $(seq 100))/$(printf 'e%.0s' $(seq 100))"
    name="$(printf 'f%.0s' $(seq 60)).jpg"
    mkdir -p "$deep"
    cd "$deep" || exit 1
    run 1 "$images/testorig.jpg" "$name"
    cd - > /dev/null || exit 1
    expect_err "lumirun-render: Error: Can't open file $name for writing: the path is longer than the 259 characters Windows programs can open.
lumirun-render: Error saving file $name.
" "a relative name whose full path is too long"
    [ -z "$(ls -A "$deep")" ] || fail "a path too long left: $(ls -A "$deep")"
fi

# Native only: POSIX files, signals and limits.
if [ "${render[0]}" != wine ]; then
    # A folder where no file can be created (even by root), found before
    # the work: a WebP movie and a frame sequence.
    run 1 "$images/testorig.jpg" /proc/movie.webp --frames 2 --speed 0:50
    expect_err_lines "lumirun-render: Error: Can't open file /proc/movie.webp for writing: ?*." \
        "lumirun-render: Error saving file /proc/movie.webp."
    run 1 "$images/testorig.jpg" /proc/f-%d.jpg --frames 2 --speed 0:50
    expect_err_lines "lumirun-render: Error: Can't open file /proc/f-0.jpg for writing: ?*." \
        "lumirun-render: Error saving file /proc/f-0.jpg (frame 0); no frame is written."
    # The longest frame name: frames 0 to 9 fit in 255 bytes, frame 10 does
    # not (Windows refuses the whole path sooner, as its own test shows).
    mkdir "$work/long"
    long=$(printf 'x%.0s' $(seq 249))
    run 1 "$images/testorig.jpg" "$work/long/$long-%d.jpg" --frames 11 --speed 10:20
    expect_err_lines "lumirun-render: Error: Can't open file $work/long/$long-10.jpg for writing: ?*." \
        "lumirun-render: Error saving file $work/long/$long-10.jpg (frame 10); no frame is written."
    [ -z "$(ls -A "$work/long")" ] || fail "a name too long left: $(ls -A "$work/long")"
    # /dev/stdout as a pipe is written in place.
    checks=$((checks + 1))
    "${render[@]}" "$images/testorig.jpg" /dev/stdout 2> "$work/err" | cat > "$work/piped.jpg"
    [ "${PIPESTATUS[0]}" = 0 ] && cmp -s "$work/piped.jpg" "$work/testorig.jpg" \
        || fail "/dev/stdout through a pipe: $(cat "$work/err")"
    # A file size limit: the write error reported, the old file kept, no
    # temporary file left.
    mkdir "$work/limit" && printf 'old' > "$work/limit/out.jpg"
    checks=$((checks + 1))
    (ulimit -f 8; exec "${render[@]}" "$images/testorig.jpg" "$work/limit/out.jpg" --speed 90) 2> "$work/err"
    status=$?
    [ "$status" = 1 ] && [ "$(tail -n 1 "$work/err")" = "lumirun-render: Error saving file $work/limit/out.jpg." ] \
        || fail "over the file size limit: status $status, $(cat "$work/err")"
    [ "$(ls -A "$work/limit")" = out.jpg ] && [ "$(cat "$work/limit/out.jpg")" = old ] \
        || fail "over the file size limit: $(ls -A "$work/limit")"
    # A PNG file (a picture, a movie's frame) says the system's reason, as
    # the other formats do, not libpng's "Write Error".
    checks=$((checks + 3))
    (ulimit -f 8; exec "${render[@]}" "$images/testorig.jpg" "$work/limit/out.png" --depth 16 --speed 90) 2> "$work/err"
    expect_err "lumirun-render: Error: Can't write file $work/limit/out.png: File too large.
lumirun-render: Error saving file $work/limit/out.png.
" "a 16-bit PNG file over the file size limit"
    (ulimit -f 8; exec "${render[@]}" "$images/testorig.jpg" "$work/limit/f-%d.png" --frames 2 --speed 0:50) 2> "$work/err"
    expect_err "lumirun-render: Error: Can't write file $work/limit/f-0.png: File too large.
lumirun-render: Error saving file $work/limit/f-0.png (frame 0).
" "PNG frames over the file size limit"
    "${render[@]}" "$images/testorig.jpg" /dev/full --format png 2> "$work/err"
    expect_err "lumirun-render: Error: Can't write file /dev/full: No space left on device.
lumirun-render: Error saving file /dev/full.
" "a PNG file to a full disk"
    # A full standard output: the system's reason, status 1.
    checks=$((checks + 1))
    "${render[@]}" --help > /dev/full 2> "$work/err" && fail "--help to a full disk exited 0"
    expect_err_lines "lumirun-render: Error writing standard output: ?*."
    # SIGTERM during a movie: the conventional status, no temporary file.
    mkdir "$work/signal"
    checks=$((checks + 1))
    "${render[@]}" "$images/testorig.jpg" "$work/signal/f-%03d.jpg" --frames 400 --speed 0:90 --quality 4 2> /dev/null &
    pid=$!
    sleep 1
    kill -TERM "$pid"
    wait "$pid"
    status=$?
    [ "$status" = 143 ] || fail "SIGTERM: status $status, not 143"
    ls -A "$work/signal" | grep -q '\.tmp$' && fail "SIGTERM left $(ls -A "$work/signal" | grep '\.tmp$')"
fi

# The progress bar appears on a terminal only, and --quiet silences it
# there too (native runs: script(1) provides the terminal).
if [ "${render[0]}" != wine ] && command -v script > /dev/null; then
    quoted=$(printf '%q ' "${render[@]}")
    script -qec "$quoted $(printf '%q' "$images/testorig.jpg") $(printf '%q' "$work/tty.jpg")" /dev/null \
        < /dev/null > "$work/tty" 2>&1
    grep -q '\[#*\] 100%' "$work/tty" || fail "no progress bar on a terminal"
    script -qec "$quoted --quiet $(printf '%q' "$images/testorig.jpg") $(printf '%q' "$work/tty.jpg")" /dev/null \
        < /dev/null > "$work/tty" 2>&1
    [ ! -s "$work/tty" ] || fail "--quiet still shows: $(cat "$work/tty")"
    script -qec "$quoted $(printf '%q' "$images/testorig.jpg") $(printf '%q' "$work/tty.webp") --frames 2 --speed 0:50" \
        /dev/null < /dev/null > "$work/tty" 2>&1
    grep -q '\[#*\] 100%  frame 2 of 2, 100%' "$work/tty" || fail "no movie progress bar on a terminal"
    # Picture bytes are not written to a terminal.
    script -qec "$quoted --quiet $(printf '%q' "$images/testorig.jpg") -" /dev/null < /dev/null > "$work/tty" 2>&1 \
        && fail "JPEG bytes written to a terminal"
    grep -q "^lumirun-render: Error: picture data is not written to a terminal" "$work/tty" \
        || fail "no refusal of a terminal: $(head -c 200 "$work/tty")"
fi
run 0 --help && grep -q "^Usage: lumirun-render INPUT OUTPUT" "$work/out" || fail "--help shows no usage"
grep -q -- "--version" "$work/out" || fail "--help does not mention --version"
# The version the build was configured with (LUMIRUN_VERSION, set by ctest).
if run 0 --version; then
    first=$(head -n 1 "$work/out" | tr -d '\r')
    [ "$first" = "lumirun-render ${LUMIRUN_VERSION:?}" ] || fail "--version prints '$first'"
fi

echo "$checks runs, $failures failures"
[ "$failures" = 0 ]
