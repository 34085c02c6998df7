#!/bin/bash
# The Windows zip as a user gets it: its contents, its texts, the two
# programs' imports, manifest and version, and then the programs themselves,
# unpacked into an empty folder outside the build tree and run in a Wine
# prefix and on an Xvfb display of their own (scripts/test.sh
# windows-package runs it).
#
# Usage: tests/check_windows_package.sh ZIP VERSION PROBE_EXE [FILE...]
#   FILE  help files and the browser edition (lumirun.html) the build made,
#         which the zip must then hold as they are
set -u

zip=$1 version=$2 probe=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$root/scripts/common.sh"
. "$root/scripts/wine-env.sh"
folder=lumirun-$version-win64
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/lumirun-zip.XXXXXX")
at_exit "rm -rf '$work'"
case "$work" in "$root"/*) echo "the test folder $work lies inside the repository" >&2; exit 1 ;; esac

(cd "$(dirname "$zip")" && sha256sum --quiet -c "$(basename "$zip").sha256") || fail "the SHA-256 file does not match"

# One folder; exactly these files, in sorted order.
want=$(printf '%s\n' LICENSE README.txt THIRD-PARTY-NOTICES lumirun-render.exe lumirun.exe sample.jpg \
    "${@##*/}" | LC_ALL=C sort)
listed=$(unzip -Z1 "$zip")
[ "$listed" = "$(printf "$folder/%s\n" $want)" ] || fail "the zip holds: $(echo $listed)"
[ "$listed" = "$(printf '%s\n' "$listed" | LC_ALL=C sort)" ] || fail "the zip's files are not in sorted order"

unzip -q "$zip" -d "$work/unpacked" || fail "unzip failed"
dir=$work/unpacked/$folder
cmp -s "$dir/sample.jpg" "$root/resources/sample.jpg" || fail "sample.jpg is not the sample chart"
for file in "$@"; do
    cmp -s "$dir/${file##*/}" "$file" || fail "${file##*/} is not the one the build made"
done

# Texts for Windows: every line ends in CR LF; nothing names this machine's
# folders.
for text in README.txt LICENSE THIRD-PARTY-NOTICES; do
    [ "$(grep -c $'\r$' "$dir/$text")" = "$(wc -l < "$dir/$text")" ] && [ -s "$dir/$text" ] ||
        fail "$text: not every line ends in CR LF"
done
if grep -r -l -a -F -e "$root" -e "$HOME/" "$dir"; then
    fail "files above name the build machine's folders"
fi
grep -q "lumirun-render INPUT OUTPUT" "$dir/README.txt" || fail "README.txt lacks the renderer's usage"
grep -q "^Lumirun JPG $version" "$dir/README.txt" || fail "README.txt lacks the version"
for notice in "This software is based in part on the work of the Independent JPEG" \
    "The Modified (3-clause) BSD License" "LEGAL ISSUES" "winpthreads" "GCC RUNTIME LIBRARY EXCEPTION" \
    "Copyright (c) 2010, Google Inc." "Additional IP Rights Grant (Patents)" "PNG Reference Library License" \
    "Jean-loup Gailly and Mark Adler" "Marti Maria Saguer"; do
    grep -q -F "$notice" "$dir/THIRD-PARTY-NOTICES" || fail "THIRD-PARTY-NOTICES lacks '$notice'"
done

# The programs: system DLLs only, one manifest with our settings, the version.
system_dlls='^(KERNEL32|USER32|GDI32|COMCTL32|comdlg32|msvcrt|ADVAPI32|SHELL32)\.dll$'
for exe in lumirun.exe lumirun-render.exe; do
    imports=$(x86_64-w64-mingw32-objdump -p "$dir/$exe" | sed -n 's/^\tDLL Name: //p')
    others=$(printf '%s\n' "$imports" | grep -v -i -E "$system_dlls")
    [ -n "$imports" ] && [ -z "$others" ] || fail "$exe imports $others"
    resources=$(x86_64-w64-mingw32-windres -i "$dir/$exe" -O rc)
    [ "$(printf '%s\n' "$resources" | grep -c 'RT_MANIFEST')" = 1 ] || fail "$exe: not exactly one manifest"
    for setting in 'level=""asInvoker""' '35138b9a-5d96-4fbd-8e2d-a2440225f93a' \
        '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' '>UTF-8</activeCodePage>' '>true</dpiAware>' \
        'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""'; do
        printf '%s' "$resources" | grep -q -F "$setting" || fail "$exe: the manifest lacks $setting"
    done
    for value in "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
        "\"OriginalFilename\", \"$exe\"" "\"ProductName\", \"Lumirun JPG\""; do
        printf '%s' "$resources" | grep -q -F "$value" || fail "$exe: no VERSIONINFO value $value"
    done
    x86_64-w64-mingw32-objdump -p "$dir/$exe" | grep -q "^Time/Date.*1970" || fail "$exe: a link time in its header"
done

# Run in a Wine prefix made for this test, on a display of its own.
wine_fresh_prefix "$work/prefix"
start_xvfb
out=$(wine "$dir/lumirun-render.exe" --version 2>&1 | tr -d '\r' | head -n 1)
[ "$out" = "lumirun-render $version" ] || fail "lumirun-render.exe --version prints '$out'"

# The renderer takes non-ASCII file names too (UTF-8 code page), and writes
# what it writes under plain ones.
cp "$dir/sample.jpg" "$work/plain.jpg"
cp "$dir/sample.jpg" "$work/Größe-日本.jpg"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
wine "$dir/lumirun-render.exe" --quiet "$(winpath "$work/plain.jpg")" "$(winpath "$work/plain-out.jpg")" ||
    fail "lumirun-render.exe failed on the sample"
wine "$dir/lumirun-render.exe" --quiet "$(winpath "$work/Größe-日本.jpg")" "$(winpath "$work/Ausgabe-出力.jpg")" ||
    fail "lumirun-render.exe failed on a non-ASCII name"
[ -f "$work/plain-out.jpg" ] && cmp -s "$work/plain-out.jpg" "$work/Ausgabe-出力.jpg" ||
    fail "lumirun-render.exe wrote different bytes under a non-ASCII name"

# The viewer, driven as a user drives it.
python3 "$here/e2e/e2e_test.py" --exe "$dir/lumirun.exe" --probe "$probe" --render "$dir/lumirun-render.exe" \
    --sample "$dir/sample.jpg" --sessions open-save,non-ascii || fail "the packaged viewer failed"

echo "package checks: $failures failures"
[ "$failures" = 0 ]
