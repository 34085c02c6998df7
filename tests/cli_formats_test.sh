#!/bin/bash
# lumirun-render's picture and movie formats from the outside, on inputs
# made here with Debian's tools: photos turned by their Exif orientation, a
# Display P3 photo against Little CMS's own transicc, libpng's PNG suite,
# PNG, WebP and JPEG output, the same-file refusal, YUV4MPEG2 streams, MP4
# and WebM movies decoded by ffmpeg, and black that stays black in a WebP
# movie. Under Wine (where no ffmpeg.exe is on the PATH) the missing-ffmpeg
# message stands in for the ffmpeg movies. On both, with a stand-in ffmpeg:
# the program named is the one run, with names that are only files, and
# what it writes is checked before it replaces anything; signals leave no
# file and no ffmpeg behind; ffmpeg's reason on a full disk (a 2 MB tmpfs,
# as root) and its control codes shown as \xHH.
#
# Usage: tests/cli_formats_test.sh MAKE_PROFILE PNGSUITE FAKE_FFMPEG COMMAND...
#   MAKE_PROFILE  the native lumirun_make_profile (writes a Display P3 profile)
#   PNGSUITE      libpng's contrib/pngsuite (its ../testpngs/crashers too)
#   FAKE_FFMPEG   lumirun_fake_ffmpeg, of the same build as COMMAND
#   COMMAND runs lumirun-render, e.g. build/native/cli/lumirun-render or
#   wine build/windows/cli/lumirun-render.exe
# Needs cjpeg, djpeg, jpegtran (libjpeg-turbo-progs), exiftool, transicc
# (liblcms2-utils), ffmpeg, ImageMagick's convert and python3.
set -u

make_profile=$1
pngsuite=$2
fake_ffmpeg=$3
shift 3
render=("$@")
under_wine=false
exe=
[ "${render[0]}" = wine ] && under_wine=true && exe=.exe
work=$(mktemp -d "${TMPDIR:-/tmp}/lumirun-formats.XXXXXX")
trap 'mountpoint -q "$work/full" && umount "$work/full"; rm -rf "$work"' EXIT
failures=0
checks=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in cjpeg djpeg jpegtran exiftool transicc ffmpeg ffprobe convert python3; do
    command -v "$tool" > /dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# run EXPECTED_STATUS ARGS...: its standard error (without the Windows
# build's carriage returns) then in $work/err.
run() {
    local expected=$1
    shift
    checks=$((checks + 1))
    timeout 300 "${render[@]}" --quiet "$@" > "$work/out" 2> "$work/err.raw"
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
    printf '%s' "$1" | cmp -s - "$work/err" || fail "$2: standard error is '$(cat "$work/err")'"
}

# Raw 8-bit RGB samples of any picture or movie ffmpeg decodes.
raw() { ffmpeg -v error -i "$1" -f rawvideo -pix_fmt "${2:-rgb24}" - 2> /dev/null; }

# python3 -c with the helpers below: numbers from files of raw samples.
py() {
    python3 -c "
import sys
def samples(path, depth=1):
    data = open(path, 'rb').read()
    return list(data) if depth == 1 else [data[i] * 256 + data[i + 1] for i in range(0, len(data), 2)]
def ppm(path):
    data = open(path, 'rb').read()
    fields = data.split(maxsplit=4)
    return list(fields[4]) if len(fields) == 5 else []
$1" "${@:2}"
}

# A P6 picture of 8 by 8 blocks, each one flat colour, different from block
# to block: its JPEG at quality 100 without colour subsampling decodes to
# exactly these pixels, turned by jpegtran or not.
blocks_ppm() {
    py "
w, h = int(sys.argv[1]), int(sys.argv[2])
out = bytearray(b'P6 %d %d 255\n' % (w, h))
for y in range(h):
    for x in range(w):
        k = (y // 8) * 97 + (x // 8) * 31
        out += bytes(((k * 53) % 256, (k * 101 + 40) % 256, (k * 29 + 90) % 256))
open(sys.argv[3], 'wb').write(out)
" "$@"
}

# ---- Orientation --------------------------------------------------------
# The stored pixels of each orientation are the upright picture turned the
# other way (jpegtran, lossless), the tag set by exiftool: every render
# equals the upright picture's.
blocks_ppm 40 24 "$work/upright.ppm"
cjpeg -quality 100 -sample 1x1 "$work/upright.ppm" > "$work/upright.jpg"
turn=("" "-flip horizontal" "-rotate 180" "-flip vertical" "-transpose" "-rotate 270" "-transverse" "-rotate 90")
setting=(--speed 70 --observer 5,3)
run 0 "$work/upright.jpg" "$work/upright.png" "${setting[@]}"
for orientation in 1 2 3 4 5 6 7 8; do
    # shellcheck disable=SC2086
    jpegtran -perfect ${turn[orientation - 1]} "$work/upright.jpg" > "$work/stored.jpg" &&
        exiftool -q -n -overwrite_original "-Orientation=$orientation" "$work/stored.jpg" ||
        fail "could not make the picture of orientation $orientation"
    if run 0 "$work/stored.jpg" "$work/turned.png" "${setting[@]}"; then
        cmp -s "$work/turned.png" "$work/upright.png" || fail "orientation $orientation: not the upright render"
    fi
done
# --no-auto-orient keeps the stored order: the last one (8) lies on its side.
run 0 "$work/stored.jpg" "$work/kept.png" "${setting[@]}" --no-auto-orient --speed 0
[ "$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$work/kept.png")" = "24,40" ] ||
    fail "--no-auto-orient turned the picture"
# A PNG's eXIf chunk is read as a JPEG's Exif segment.
exiftool -q -n -overwrite_original -Orientation=8 "$work/kept.png" || fail "exiftool did not tag the PNG"
run 0 "$work/kept.png" "$work/turned.png" "${setting[@]}" && cmp -s "$work/turned.png" "$work/upright.png" ||
    fail "a PNG of orientation 8: not the upright render"

# ---- Colour profile -----------------------------------------------------
# A Display P3 photo (and one in Adobe RGB, icc-profiles-free's): at rest
# (speed 0) the render is the picture, and its colours are Little CMS's own
# (transicc, perceptual, clipped) within 2.
"$make_profile" "$work/p3.icc" || fail "no Display P3 profile"
blocks_ppm 64 32 "$work/colours.ppm"
cjpeg -quality 100 -sample 1x1 "$work/colours.ppm" > "$work/plain.jpg"
djpeg -ppm "$work/plain.jpg" > "$work/stored.ppm"
py "
s = ppm(sys.argv[1])
print('\n'.join('%d %d %d' % tuple(s[i:i + 3]) for i in range(0, len(s), 3)))" "$work/stored.ppm" > "$work/stored.txt"
for profile in "$work/p3.icc" /usr/share/color/icc/compatibleWithAdobeRGB1998.icc; do
    name=$(basename "$profile" .icc)
    cp "$work/plain.jpg" "$work/$name.jpg"
    exiftool -q -overwrite_original "-ICC_Profile<=$profile" "$work/$name.jpg" || fail "exiftool did not embed $name"
    transicc -s -t 0 -i "$profile" -o '*sRGB' < "$work/stored.txt" 2> /dev/null | grep '^R=' > "$work/transicc.txt"
    run 0 "$work/$name.jpg" "$work/$name.png" --speed 0 || continue
    expect_err "" "$name photo"
    raw "$work/$name.png" > "$work/$name.rgb"
    result=$(py "
import re
want = [float(v) for v in re.findall(r'[RGB]=(-?[0-9.]+)', open(sys.argv[1]).read())]
got = samples(sys.argv[2])
stored = ppm(sys.argv[3])
assert len(want) == len(got) == len(stored) == 64 * 32 * 3, (len(want), len(got), len(stored))
print(max(abs(a - b) for a, b in zip(want, got)), max(abs(a - b) for a, b in zip(want, stored)))
" "$work/transicc.txt" "$work/$name.rgb" "$work/stored.ppm")
    read -r off shift <<< "$result"
    echo "$name: at most $off from transicc, $shift from the stored colours"
    awk -v d="$off" -v s="$shift" 'BEGIN { exit !(d <= 2 && s > 20) }' ||
        fail "$name colours: $off from transicc's (at most 2), the profile moves them by $shift (over 20)"
done
# A profile that cannot be used: a warning line, the pixels as stored.
head -c 300 "$work/p3.icc" > "$work/cut.icc"
cp "$work/plain.jpg" "$work/cut.jpg"
exiftool -q -overwrite_original "-ICC_Profile<=$work/cut.icc" "$work/cut.jpg"
if run 0 "$work/cut.jpg" "$work/cut.png" --speed 0; then
    [ "$(wc -l < "$work/err")" = 1 ] && grep -q "^lumirun-render: warning: the picture's colour profile cannot be used (.*); its colours are taken as sRGB\.$" "$work/err" ||
        fail "unusable profile: '$(cat "$work/err")'"
    raw "$work/cut.png" | cmp -s - <(py "sys.stdout.buffer.write(bytes(ppm(sys.argv[1])))" "$work/stored.ppm") ||
        fail "unusable profile: the pixels are not the stored ones"
fi
# A profile of another colour space than the pixels' (a grey one on a colour
# photo, a colour one on a grey photo): a warning, the pixels as stored.
# (libpng drops such a PNG profile itself.)
"$make_profile" "$work/grey.icc" grey || fail "no grey profile"
cp "$work/plain.jpg" "$work/grey-profile.jpg"
exiftool -q -overwrite_original "-ICC_Profile<=$work/grey.icc" "$work/grey-profile.jpg"
cjpeg -quality 100 -grayscale "$work/colours.ppm" > "$work/p3-profile.jpg"
exiftool -q -overwrite_original "-ICC_Profile<=$work/p3.icc" "$work/p3-profile.jpg"
for pair in "grey-profile:grey pictures, not for RGB" "p3-profile:RGB pictures, not for grey"; do
    name=${pair%%:*}
    if run 0 "$work/$name.jpg" "$work/$name.png" --speed 0; then
        expect_err "lumirun-render: warning: the picture's colour profile cannot be used (it is for ${pair#*:} ones); its colours are taken as sRGB.
" "$name.jpg"
        djpeg -ppm "$work/$name.jpg" > "$work/$name.ppm"
        raw "$work/$name.ppm" > "$work/$name.rgb"
        raw "$work/$name.png" | cmp -s - "$work/$name.rgb" || fail "$name.jpg: the pixels are not the stored ones"
    fi
done

# ---- PNG input ----------------------------------------------------------
# Every picture of libpng's suite is read (interlaced ones as their plain
# twins), the damaged ones refused with the library's line and ours.
# Natively also libpng's own test pictures (every colour type, depth and
# gamma, with and without transparency).
suite=("$pngsuite"/*.png "$pngsuite"/../testpngs/crashers/*.png)
$under_wine || suite+=("$pngsuite"/../testpngs/*.png)
for png in "${suite[@]}"; do
    name=$(basename "$png" .png)
    timeout 300 "${render[@]}" --quiet "$png" "$work/png-$name.png" --speed 0 > /dev/null 2> "$work/err.raw"
    status=$?
    checks=$((checks + 1))
    tr -d '\r' < "$work/err.raw" > "$work/err"
    if [ $status = 0 ]; then
        [ "$(head -c 4 "$work/png-$name.png" | tail -c 3)" = PNG ] || fail "$name: no PNG written"
    elif [ $status = 1 ]; then
        [ "$(wc -l < "$work/err")" = 2 ] && grep -q "^lumirun-render: Damaged or unsupported PNG file: ." "$work/err" &&
            [ "$(tail -n 1 "$work/err")" = "lumirun-render: Error opening file $png." ] ||
            fail "$name refused without a clear line: $(cat "$work/err")"
        [ ! -e "$work/png-$name.png" ] || fail "$name: refused, but a file was written"
    else
        fail "$name: exit status $status"
    fi
done
for png in "$pngsuite"/ibasn*.png; do
    name=$(basename "$png" .png)
    cmp -s "$work/png-$name.png" "$work/png-${name#i}.png" || fail "$name: the interlaced twin reads differently"
done
# Gamma chunks are not applied, transparent pixels included: the same
# samples with gamma 1/1.8 or 1.0 give the same picture.
for name in rgb-alpha-8 gray-alpha-8 rgb-alpha-16; do
    run 0 "$pngsuite/../testpngs/$name.png" "$work/plain.png" --speed 0 || continue
    for gamma in 1.8 linear; do
        run 0 "$pngsuite/../testpngs/$name-$gamma.png" "$work/gamma.png" --speed 0 &&
            cmp -s "$work/gamma.png" "$work/plain.png" || fail "$name-$gamma.png: the gamma chunk was applied"
    done
done
# Transparency on black, each colour times its alpha, rounded; 16-bit
# samples scaled to 8 bits, rounded.
raw "$pngsuite/basn6a08.png" rgba > "$work/rgba"
raw "$work/png-basn6a08.png" > "$work/got"
py "
p = samples(sys.argv[1]); got = samples(sys.argv[2])
want = [(p[i + c] * p[i + 3] + 127) // 255 for i in range(0, len(p), 4) for c in range(3)]
sys.exit(want != got)" "$work/rgba" "$work/got" || fail "basn6a08: not laid on black"
raw "$pngsuite/basn2c16.png" rgb48be > "$work/rgb48"
raw "$work/png-basn2c16.png" > "$work/got"
py "
want = [(v * 255 + 32767) // 65535 for v in samples(sys.argv[1], 2)]
got = samples(sys.argv[2])
sys.exit(len(want) != len(got) or max(abs(a - b) for a, b in zip(want, got)) > 0)" "$work/rgb48" "$work/got" ||
    fail "basn2c16: 16-bit samples not rounded to 8 bits"
# Damaged: a byte of the image data changed, a file cut short.
python3 -c "
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[len(data) // 2] ^= 0xff
open(sys.argv[2], 'wb').write(data)
open(sys.argv[3], 'wb').write(data[:len(data) // 2])" "$pngsuite/basn2c08.png" "$work/damaged.png" "$work/cut.png"
run 1 "$work/damaged.png" "$work/damaged-out.png"
expect_err "lumirun-render: Damaged or unsupported PNG file: IDAT: invalid code -- missing end-of-block
lumirun-render: Error opening file $work/damaged.png.
" "a damaged PNG file"
run 1 "$work/cut.png" "$work/cut-out.png"
expect_err "lumirun-render: Damaged or unsupported PNG file: it ends before its picture does
lumirun-render: Error opening file $work/cut.png.
" "a PNG file cut short"
# 74 bytes that promise 30000 by 30000 interlaced pixels of 16-bit colour
# and alpha: refused (too large for the memory, or its data ending early)
# in little memory. The rows it promises (6 GB with the raster) are counted
# first, and are had cleared but never touched.
python3 -c "
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
header = struct.pack('>IIBBBBB', 30000, 30000, 16, 6, 0, 0, 1)
open(sys.argv[1], 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
                              + chunk(b'IDAT', zlib.compress(bytes(1000))) + chunk(b'IEND', b''))" "$work/promise.png"
# peak_mb COMMAND...: the command's peak memory in MB, its errors in err.raw.
peak_mb() {
    python3 -c "
import resource, subprocess, sys
subprocess.run(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=open(sys.argv[1], 'wb'))
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024)" "$work/err.raw" "$@"
}
peak=$(peak_mb "${render[@]}" "$work/promise.png" "$work/promise-out.png" --speed 0)
checks=$((checks + 1))
tr -d '\r' < "$work/err.raw" > "$work/err"
head -n 1 "$work/err" |
    grep -qx "lumirun-render: \(Damaged or unsupported PNG file: Not enough image data\|Image of size 30000 by 30000 is too large\.\)" ||
    fail "a PNG that promises 30000 by 30000 pixels: '$(cat "$work/err")'"
echo "a PNG that promises 30000 by 30000 pixels: refused at a peak of $peak MB"
# (Clearing the interlaced rows took 3.4 GB; AddressSanitizer's own
# bookkeeping of the untouched buffers takes some hundreds of MB.)
$under_wine || [ "$peak" -lt 1000 ] || fail "a PNG that promises 30000 by 30000 pixels took $peak MB"
# Ancillary chunks that declare a gigabyte (libpng's crashers): refused
# without having it (1 GB each before; AddressSanitizer's bookkeeping of
# an untouched eXIf block takes some 140 MB).
for png in "$pngsuite"/../testpngs/crashers/huge_*.png; do
    checks=$((checks + 1))
    peak=$(peak_mb "${render[@]}" "$png" "$work/huge-out.png" --speed 0)
    $under_wine || [ "$peak" -lt 500 ] || fail "$(basename "$png") took $peak MB"
done
# From standard input, as from the file.
run 0 - "$work/stdin.png" --speed 0 < "$pngsuite/basn3p08.png" && cmp -s "$work/stdin.png" "$work/png-basn3p08.png" ||
    fail "a PNG from standard input differs from the file's"

# ---- Output formats -----------------------------------------------------
source=$work/upright.jpg
run 0 "$source" "$work/out.JPEG" && run 0 "$source" "$work/out.jpg" && cmp -s "$work/out.JPEG" "$work/out.jpg" ||
    fail ".JPEG and .jpg differ"
run 0 "$source" "$work/out.webp" && [ "$(head -c 4 "$work/out.webp")$(head -c 12 "$work/out.webp" | tail -c 4)" = RIFFWEBP ] ||
    fail "out.webp is not a WebP file"
run 0 "$source" "$work/exact.webp" --lossless && run 0 "$source" "$work/exact.png" &&
    [ "$(raw "$work/exact.webp" | md5sum)" = "$(raw "$work/exact.png" | md5sum)" ] ||
    fail "a lossless WebP picture is not the PNG's pixels"
# 16 bits: until the renderers give more, each sample widened (x * 257).
run 0 "$source" "$work/deep.png" --depth 16
[ "$(ffprobe -v error -show_entries stream=pix_fmt -of csv=p=0 "$work/deep.png")" = rgb48be ] || fail "--depth 16 is no 16-bit PNG"
raw "$work/deep.png" rgb48be > "$work/deep.rgb" && raw "$work/exact.png" > "$work/exact.rgb"
py "sys.exit(samples(sys.argv[1], 2) != [v * 257 for v in samples(sys.argv[2])])" "$work/deep.rgb" "$work/exact.rgb" ||
    fail "--depth 16: not the 8-bit samples widened"
run 0 "$source" - --format png && cmp -s "$work/out" "$work/exact.png" || fail "--format png to standard output differs"
run 0 "$source" "$work/q50.jpg" --jpeg-quality 50 && run 0 "$source" "$work/444.jpg" --chroma 444
[ "$(wc -c < "$work/q50.jpg")" -lt "$(wc -c < "$work/out.jpg")" ] || fail "--jpeg-quality 50 is no smaller"
[ "$(ffprobe -v error -show_entries stream=pix_fmt -of csv=p=0 "$work/444.jpg")" = yuvj444p ] || fail "--chroma 444 is not 4:4:4"
[ "$(ffprobe -v error -show_entries stream=pix_fmt -of csv=p=0 "$work/out.jpg")" = yuvj420p ] || fail "JPEG is not 4:2:0 by default"
run 2 "$source" "$work/out.tif"
expect_err "lumirun-render: OUTPUT must end in .jpg, .jpeg, .png or .webp (or be - with --format jpeg|png|webp), not '$work/out.tif'
lumirun-render: Try 'lumirun-render --help' for more information.
" "unknown extension"
[ ! -e "$work/out.tif" ] || fail "out.tif written"

# ---- A width that is no multiple of 4 ----------------------------------
# At speed 0 the smooth renderer gives the picture back as it came in, in
# every format and in a movie's frames: 37 by 23, no black alignment
# columns. The exact renderer draws them, as the viewer does.
blocks_ppm 37 23 "$work/odd.ppm"
cjpeg -quality 100 -sample 1x1 "$work/odd.ppm" > "$work/odd.jpg"
djpeg -ppm "$work/odd.jpg" > "$work/odd-stored.ppm"
size() { ffprobe -v error -show_entries stream=width,height -of csv=p=0:s=x "$1"; }
for name in odd-out.png odd-out.webp odd-out.jpg; do
    run 0 "$work/odd.jpg" "$work/$name" --speed 0 && [ "$(size "$work/$name")" = 37x23 ] ||
        fail "$name at speed 0: $(size "$work/$name"), not 37x23"
done
raw "$work/odd-out.png" > "$work/odd-out.rgb"
py "sys.exit(samples(sys.argv[1]) != ppm(sys.argv[2]))" "$work/odd-out.rgb" "$work/odd-stored.ppm" ||
    fail "a 37-pixel-wide picture at speed 0 is not the picture"
run 0 "$work/odd.jpg" "$work/odd-frame-%d.png" --frames 2 --speed 0:0 && [ "$(size "$work/odd-frame-1.png")" = 37x23 ] &&
    cmp -s "$work/odd-frame-1.png" "$work/odd-out.png" || fail "a movie's frame at speed 0 is not the picture"
run 0 "$work/odd.jpg" "$work/odd-exact.png" --speed 0 --quality low && [ "$(size "$work/odd-exact.png")" = 40x23 ] ||
    fail "the exact renderer's picture is not 40x23 (its alignment columns drawn)"

# ---- The same file ------------------------------------------------------
cp "$source" "$work/photo.jpg"
ln -s photo.jpg "$work/symbolic.jpg"
ln "$work/photo.jpg" "$work/hard.jpg"
for other in symbolic hard photo; do
    run 2 "$work/photo.jpg" "$work/$other.jpg"
    expect_err "lumirun-render: OUTPUT $work/$other.jpg is the file INPUT $work/photo.jpg names: the picture would be replaced by its render; write another file
" "OUTPUT through a $other link"
    cmp -s "$work/photo.jpg" "$source" || fail "the photo changed through the $other link"
done
# INPUT -: standard input redirected from the file OUTPUT (or a frame file)
# names, by any name; a pipe is no file and refuses nothing.
for other in hard photo; do
    run 2 - "$work/$other.jpg" < "$work/photo.jpg"
    expect_err "lumirun-render: OUTPUT $work/$other.jpg is the file standard input (INPUT -) reads: the picture would be replaced by its render; write another file
" "OUTPUT $other.jpg, standard input from photo.jpg"
done
cp "$source" "$work/frame0.jpg"
run 2 - "$work/frame%d.jpg" --frames 2 --speed 0:10 --overwrite < "$work/frame0.jpg"
expect_err "lumirun-render: Error: $work/frame0.jpg (frame 0) exists; it is the input picture, which a movie never replaces.
" "a frame file standard input reads"
cmp -s "$work/photo.jpg" "$source" && cmp -s "$work/frame0.jpg" "$source" && [ ! -e "$work/frame1.jpg" ] ||
    fail "a file standard input reads was written"
run 0 - "$work/piped.jpg" < <(cat "$work/photo.jpg")

# ---- Movies -------------------------------------------------------------
movie=(--frames 3 --speed 0:80 --observer 3,9)
run 0 "$source" "$work/frame-%d.png" "${movie[@]}"
canvas=$(ffprobe -v error -show_entries stream=width,height -of csv=p=0:s=x "$work/frame-0.png")
width=${canvas%x*} height=${canvas#*x}
for k in 0 1 2; do raw "$work/frame-$k.png"; done > "$work/exact.frames"
# YUV4MPEG2: its header, its size, standard output the same bytes, and
# ffmpeg's decoding of the 4:4:4 stream the frames within rounding.
if run 0 "$source" "$work/movie.y4m" "${movie[@]}"; then
    [ "$(head -n 1 "$work/movie.y4m")" = "YUV4MPEG2 W$width H$height F24:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED" ] ||
        fail "movie.y4m header: $(head -n 1 "$work/movie.y4m")"
    header=$(head -n 1 "$work/movie.y4m" | wc -c)
    chroma=$(( ((width + 1) / 2) * ((height + 1) / 2) ))
    [ "$(wc -c < "$work/movie.y4m")" = $((header + 3 * (6 + width * height + 2 * chroma))) ] || fail "movie.y4m size"
fi
run 0 "$source" - "${movie[@]}" --format y4m && cmp -s "$work/out" "$work/movie.y4m" ||
    fail "a YUV4MPEG2 stream to standard output differs from the file"
run 0 "$source" "$work/full.y4m" "${movie[@]}" --chroma 444 --fps 12.5
grep -q "^YUV4MPEG2 W$width H$height F25:2 Ip A1:1 C444 " "$work/full.y4m" || fail "full.y4m header"
raw "$work/full.y4m" > "$work/full.frames"
py "
a = samples(sys.argv[1]); b = samples(sys.argv[2])
sys.exit(len(a) != len(b) or max(abs(x - y) for x, y in zip(a, b)) > 3)" "$work/exact.frames" "$work/full.frames" ||
    fail "the 4:4:4 stream is not the frames within 3"

if $under_wine; then
    # No ffmpeg.exe on Wine's PATH: refused before any work, nothing written.
    run 1 "$source" "$work/movie.mp4" "${movie[@]}"
    expect_err "lumirun-render: MP4 movies are made by ffmpeg, which is not on the PATH: install it or name it with --ffmpeg PATH; NAME.y4m, NAME.webp and frame patterns such as frame-%04d.png are written without it.
" "no ffmpeg"
    [ ! -e "$work/movie.mp4" ] || fail "movie.mp4 written without ffmpeg"
else
    run 1 "$source" "$work/movie.webm" "${movie[@]}" --ffmpeg "$work/nothing"
    expect_err "lumirun-render: --ffmpeg names $work/nothing, which is no program that can be run.
" "--ffmpeg names nothing"
    env PATH=/nonexistent "${render[@]}" --quiet "$source" "$work/movie.mp4" "${movie[@]}" 2> "$work/err"
    [ $? = 1 ] && grep -q "^lumirun-render: MP4 movies are made by ffmpeg, which is not on the PATH" "$work/err" ||
        fail "no ffmpeg on the PATH: $(cat "$work/err")"
    # ffmpeg's own failure: its last lines, nothing left behind.
    mkdir "$work/failed"
    printf '#!/bin/sh\ncat > /dev/null\necho "first line" >&2\necho "Unknown encoder libx264" >&2\nexit 1\n' > "$work/fake-ffmpeg"
    chmod +x "$work/fake-ffmpeg"
    run 1 "$source" "$work/failed/movie.mp4" "${movie[@]}" --ffmpeg "$work/fake-ffmpeg"
    expect_err "lumirun-render: Error: ffmpeg failed (exit status 1): first line / Unknown encoder libx264
lumirun-render: Error saving file $work/failed/movie.mp4.
" "ffmpeg failing"
    [ -z "$(ls -A "$work/failed")" ] || fail "a failed ffmpeg left $(ls -A "$work/failed")"
    # One that reads nothing: the same, whether the pipe took the frames.
    printf '#!/bin/sh\necho "Invalid data found" >&2\nexit 1\n' > "$work/deaf-ffmpeg"
    chmod +x "$work/deaf-ffmpeg"
    run 1 "$source" "$work/failed/movie.mp4" --frames 40 --speed 0:99 --ffmpeg "$work/deaf-ffmpeg"
    expect_err "lumirun-render: Error: ffmpeg failed (exit status 1): Invalid data found
lumirun-render: Error saving file $work/failed/movie.mp4.
" "ffmpeg reading nothing"
    [ -z "$(ls -A "$work/failed")" ] || fail "a deaf ffmpeg left $(ls -A "$work/failed")"
    # MP4 (H.264) and WebM (VP9): three frames of the canvas padded to even
    # sides, at 24 frames a second, ffmpeg's decoding within the codecs'
    # error (PSNR of each frame over 30 dB: 32 to 34 measured with ffmpeg 5.1) of
    # the frames as 4:2:0 holds them
    # (the YUV4MPEG2 stream ffmpeg is fed, decoded).
    raw "$work/movie.y4m" > "$work/yuv420.frames"
    for container in mp4 webm; do
        run 0 "$source" "$work/movie.$container" "${movie[@]}" || continue
        info=$(ffprobe -v error -count_frames -show_entries stream=width,height,r_frame_rate,nb_read_frames,pix_fmt \
            -of csv=p=0 "$work/movie.$container")
        even_w=$(((width + 1) / 2 * 2)) even_h=$(((height + 1) / 2 * 2))
        [ "$info" = "$even_w,$even_h,yuv420p,24/1,3" ] || fail "movie.$container: $info"
        ffmpeg -v error -i "$work/movie.$container" -vf "crop=$width:$height:0:0" -f rawvideo -pix_fmt rgb24 - \
            > "$work/decoded.frames"
        py "
import math
def worst(a, b):
    n = len(a) // 3
    assert len(a) == len(b), (len(a), len(b))
    return min(10 * math.log10(255 ** 2 * n / max(1, sum((x - y) ** 2 for x, y in zip(a[k * n:(k + 1) * n], b[k * n:(k + 1) * n])))) for k in range(3))
codec = worst(samples(sys.argv[1]), samples(sys.argv[2]))
whole = worst(samples(sys.argv[4]), samples(sys.argv[2]))
print('%s: %.1f dB from the 4:2:0 frames, %.1f dB from the exact ones' % (sys.argv[3], codec, whole))
sys.exit(codec < 30)" "$work/yuv420.frames" "$work/decoded.frames" "$container" "$work/exact.frames" ||
            fail "movie.$container: frames too far"
    done
    # --size: a slide's size whatever the picture's, --duration's frames.
    if run 0 "$source" "$work/slide.mp4" --duration 0.25 --speed 0:80 --size 96x54; then
        info=$(ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames,pix_fmt -of csv=p=0 \
            "$work/slide.mp4")
        [ "$info" = "96,54,yuv420p,6" ] || fail "slide.mp4: $info"
    fi
    ls -A "$work" | grep -q '^\.\|lumirun' && fail "temporary files left: $(ls -A "$work")"
fi

# ---- ffmpeg: exactly the program named, file names only, results checked
# The stand-in ffmpeg (fake_ffmpeg.cpp, a Windows program under Wine) does
# what LUMIRUN_FAKE_FFMPEG says and lists its arguments.
fake() { LUMIRUN_FAKE_FFMPEG=$1 LUMIRUN_FAKE_FFMPEG_ARGS=$work/args "${@:2}"; }
folder=$work/made
mkdir "$folder"
# The frames come from our pipe and the movie goes to a file, each name
# limited to its one protocol; no keys are read from the terminal.
if fake movie run 0 "$source" "$folder/movie.mp4" "${movie[@]}" --ffmpeg "$fake_ffmpeg"; then
    [ "$(head -c 8 "$folder/movie.mp4" | tail -c 4)" = ftyp ] || fail "the stand-in's MP4 was not put in place"
    py "
import re
a = open(sys.argv[1]).read().replace('\r', '').split('\n')[1:-1]
want = ['-protocol_whitelist', 'pipe', '-f', 'yuv4mpegpipe', '-i', 'pipe:0']
sys.exit(not ('-nostdin' in a and any(a[i:i + 6] == want for i in range(len(a)))
              and a[-3:-1] == ['-protocol_whitelist', 'file'] and re.match(r'file:(/|[A-Za-z]:\\\\)', a[-1])))" \
        "$work/args" || fail "ffmpeg's arguments: $(tr '\n' ' ' < "$work/args")"
fi
# The real one, natively: a folder named as a protocol, in a relative path,
# is a folder (not our standard output, not a host to connect to).
if ! $under_wine; then
    cd "$work" || exit 1
    mkdir -p "pipe:1" "http:/127.0.0.1:1"
    run 0 "$source" "pipe:1/movie.mkv" "${movie[@]}" && [ ! -s "$work/out" ] &&
        [ "$(head -c 4 "pipe:1/movie.mkv" | od -An -tx1 | tr -d ' ')" = 1a45dfa3 ] ||
        fail "pipe:1/movie.mkv: $(wc -c < "$work/out") bytes on standard output"
    run 0 "$source" "http:/127.0.0.1:1/movie.gif" "${movie[@]}" &&
        [ "$(head -c 4 "http:/127.0.0.1:1/movie.gif")" = GIF8 ] || fail "http:/127.0.0.1:1/movie.gif"
fi
# A program that exits 0 without a movie replaces nothing.
echo old > "$folder/kept.mp4"
fake empty run 1 "$source" "$folder/kept.mp4" "${movie[@]}" --ffmpeg "$fake_ffmpeg"
expect_err "lumirun-render: Error: ffmpeg exited with status 0, but the file it wrote is empty.
lumirun-render: Error saving file $folder/kept.mp4.
" "an empty movie"
fake text run 1 "$source" "$folder/kept.mp4" "${movie[@]}" --ffmpeg "$fake_ffmpeg"
expect_err "lumirun-render: Error: ffmpeg exited with status 0, but the file it wrote does not begin as an MP4 file does.
lumirun-render: Error saving file $folder/kept.mp4.
" "a text file as a movie"
[ "$(cat "$folder/kept.mp4")" = old ] || fail "a movie that is none replaced kept.mp4"
# What ffmpeg says reaches the terminal without its control codes.
LUMIRUN_FAKE_FFMPEG_SAYS=$'first\n\e[31mred\e[0m alert\r\n' fake fail run 1 "$source" "$folder/red.gif" "${movie[@]}" \
    --ffmpeg "$fake_ffmpeg"
expect_err 'lumirun-render: Error: ffmpeg failed (exit status 1): first / \x1b[31mred\x1b[0m alert
lumirun-render: Error saving file '"$folder"'/red.gif.
' "ffmpeg's control codes"
[ "$(ls -A "$folder")" = "$(printf 'kept.mp4\nmovie.mp4')" ] || fail "left in $folder: $(ls -A "$folder")"

# --ffmpeg runs the file it names, with no shell between: a name without a
# folder is looked up on the PATH only, never in the current folder.
mkdir -p "$work/here" "$work/bin" "$work/a b %OS% \$(x) 'q'"
odd="$work/a b %OS% \$(x) 'q'/ffmpeg$exe"
cp "$fake_ffmpeg" "$odd"
if fake movie run 0 "$source" "$folder/odd.mkv" "${movie[@]}" --ffmpeg "$odd"; then
    [ "$(head -n 1 "$work/args" | tr -d '\r')" = "$odd" ] || fail "--ffmpeg '$odd' ran $(head -n 1 "$work/args")"
fi
cp "$fake_ffmpeg" "$work/here/ffmpeg$exe"
cp "$fake_ffmpeg" "$work/here/myff$exe"
cp "$fake_ffmpeg" "$work/bin/myff$exe"
cd "$work/here" || exit 1
rm -f "$work/args"
fake movie run 1 "$source" "$folder/here.mp4" "${movie[@]}" --ffmpeg "myff$exe"
expect_err "lumirun-render: --ffmpeg names myff$exe, which is no program on the PATH (a name without a folder is looked up there only; ./myff$exe names one in the current folder).
" "--ffmpeg myff$exe in the current folder"
# ffmpeg is the one on the PATH (none under Wine), never ./ffmpeg.
if $under_wine; then
    fake movie run 1 "$source" "$folder/here.mp4" "${movie[@]}" --ffmpeg ffmpeg.exe
else
    fake movie run 0 "$source" "$folder/here.mp4" "${movie[@]}" --ffmpeg ffmpeg
fi
[ ! -e "$work/args" ] || fail "--ffmpeg myff$exe or ffmpeg$exe ran $(head -n 1 "$work/args")"
if fake movie run 0 "$source" "$folder/here.mp4" "${movie[@]}" --ffmpeg "./myff$exe"; then
    [ "$(head -n 1 "$work/args" | tr -d '\r')" = "./myff$exe" ] || fail "--ffmpeg ./myff$exe ran $(head -n 1 "$work/args")"
fi
if PATH=$work/bin:$PATH WINEPATH="Z:${work//\//\\}\\bin" fake movie run 0 "$source" "$folder/path.mp4" "${movie[@]}" \
    --ffmpeg myff; then
    found=$work/bin/myff
    $under_wine && found="Z:${work//\//\\}\\bin\\myff.exe"
    [ "$(head -n 1 "$work/args" | tr -d '\r')" = "$found" ] || fail "--ffmpeg myff ran $(head -n 1 "$work/args")"
fi
cd "$work" || exit 1

# ---- Signals: nothing left behind, no ffmpeg left running ---------------
# interrupt SIGNAL OUTPUT ARGS...: a long movie of the sample chart, sent
# SIGNAL half a second after its temporary file appears; its exit status in
# $status, and whatever is in OUTPUT's folder afterwards in $left.
sample=$(cd "$(dirname "$0")/.." && pwd)/resources/sample.jpg
interrupt() {
    local signal=$1 output=$2 pid
    shift 2
    checks=$((checks + 1))
    mkdir -p "$(dirname "$output")"
    # Job control: a background job's SIGINT is then not ignored.
    set -m
    "${render[@]}" --quiet "$sample" "$output" --frames 400 --speed 0:90 "$@" > /dev/null 2> "$work/err.raw" &
    pid=$!
    set +m
    for _ in $(seq 300); do
        ls -A "$(dirname "$output")" | grep -q 'lumirun-.*\.tmp$' && break
        sleep 0.1
    done
    sleep 0.5
    kill -"$signal" "$pid"
    { wait "$pid"; } 2> /dev/null  # without the shell's "Hangup" line
    status=$?
    left=$(ls -A "$(dirname "$output")")
}
# Under Wine only SIGINT reaches the program, as the console's Ctrl+C
# event; SIGTERM and SIGHUP end Wine's process, where no Windows program
# can catch them (Windows has no such signals).
signals=(TERM HUP INT)
$under_wine && signals=(INT)
for signal in "${signals[@]}"; do
    number=$(kill -l "$signal")
    expected=$((128 + number))
    $under_wine && expected=58  # STATUS_CONTROL_C_EXIT's low byte
    outputs=(y4m fake.gif)
    $under_wine || outputs+=(mp4 gif)
    for output in "${outputs[@]}"; do
        name=$work/signal-$signal-$output/movie.${output#fake.}
        if [ "$output" = fake.gif ]; then
            LUMIRUN_FAKE_FFMPEG_MARKER=$work/ffmpeg-ended-$signal fake linger interrupt "$signal" "$name" \
                --ffmpeg "$fake_ffmpeg"
        else
            interrupt "$signal" "$name"
        fi
        [ "$status" = "$expected" ] || fail "SIG$signal during $output: exit status $status, not $expected"
        [ -z "$left" ] || fail "SIG$signal during $output left $left"
    done
done
# ffmpeg was stopped, not left to go on once its input ended.
sleep 2.5
for signal in "${signals[@]}"; do
    [ ! -e "$work/ffmpeg-ended-$signal" ] || fail "SIG$signal: ffmpeg went on after lumirun-render had ended"
done

# ---- A full disk: ffmpeg's reason reaches the user ----------------------
# (its messages are kept in memory, not in a file beside the movie), and
# the movie it could not end is not put in place.
full=$work/full
mkdir "$full"
if mount -t tmpfs -o size=2m tmpfs "$full" 2> /dev/null; then
    if $under_wine; then
        head -c 3M /dev/zero > "$full/filler" 2> /dev/null
        LUMIRUN_FAKE_FFMPEG_SAYS="$full/movie.gif: No space left on device" fake fail \
            run 1 "$source" "$full/movie.gif" "${movie[@]}" --ffmpeg "$fake_ffmpeg"
        rm "$full/filler"
    else
        run 1 "$sample" "$full/movie.gif" --frames 20 --speed 0:50
    fi
    grep -q "^lumirun-render: Error: ffmpeg failed (exit status 1): .*No space left on device" "$work/err" ||
        fail "a full disk: $(cat "$work/err")"
    [ -z "$(ls -A "$full")" ] || fail "left on the full disk: $(ls -A "$full")"
    umount "$full"
else
    echo "skipped: the full disk (mount -t tmpfs needs root)"
fi

# ---- Black stays black in a WebP movie ---------------------------------
# A sweep whose canvas is mostly black: wherever every exact frame is
# black, the default (near-lossless) movie's frames are at most 4/255.
sweep=(--frames 24 --speed 0:90)
cjpeg -quality 100 "$work/colours.ppm" > "$work/colours.jpg"
source=$work/colours.jpg
if run 0 "$source" "$work/sweep-exact.webp" "${sweep[@]}" --lossless && run 0 "$source" "$work/sweep.webp" "${sweep[@]}"; then
    mkdir "$work/exact" "$work/default"
    convert "$work/sweep-exact.webp" -coalesce "$work/exact/%02d.ppm" &&
        convert "$work/sweep.webp" -coalesce "$work/default/%02d.ppm" || fail "ImageMagick could not read the movies"
    py "
import glob
exact = [ppm(f) for f in sorted(glob.glob(sys.argv[1] + '/*.ppm'))]
default = [ppm(f) for f in sorted(glob.glob(sys.argv[2] + '/*.ppm'))]
assert len(exact) == len(default) == 24
black = [all(f[i] == 0 for f in exact) for i in range(len(exact[0]))]
worst = max(f[i] for f in default for i in range(len(f)) if black[i])
print('black in every frame: %d samples, at most %d in the default movie' % (sum(black), worst))
sys.exit(worst > 4 or sum(black) == 0)" "$work/exact" "$work/default" || fail "the default WebP movie is not black where the frames are"
fi

echo "$checks runs, $failures failures"
[ "$failures" = 0 ]
