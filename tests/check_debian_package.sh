#!/bin/bash
# The Debian package of lumirun-render: its fields and files, its manual
# page, lintian when installed, that its dependencies can be installed, and
# that the program it holds, unpacked with dpkg-deb -x, runs and renders the
# sample as the build tree's program does.
#
# Usage: tests/check_debian_package.sh DEB VERSION RENDER SAMPLE [PAGE]
#   RENDER  the build tree's lumirun-render, for the reference picture
#   PAGE    the browser edition the build made, which the package must then
#           hold as it is
set -u

deb=$1 version=$2 render=$3 sample=$4 page=${5:-}
root=$(cd "$(dirname "$0")/.." && pwd)
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/lumirun-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT

(cd "$(dirname "$deb")" && sha256sum --quiet -c "$(basename "$deb").sha256") || fail "the SHA-256 file does not match"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lumirun-render ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
echo "Depends: $depends"
for library in libjpeg62-turbo libpng16-16 liblcms2-2; do
    printf '%s' "$depends" | grep -q -E "(^|, )$library \\(>= [^)]*\\)" || fail "no versioned $library dependency"
done
[ "$(field Suggests)" = ffmpeg ] || fail "Suggests: $(field Suggests)"

# Exactly these files (folders aside), owned by root.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}')
want='./usr/bin/lumirun-render
./usr/share/doc/lumirun-render/changelog.gz
./usr/share/doc/lumirun-render/copyright
./usr/share/lumirun-render/sample.jpg
./usr/share/man/man1/lumirun-render.1.gz'
[ -z "$page" ] || want=$(printf '%s\n' "$want" ./usr/share/lumirun-render/lumirun.html | LC_ALL=C sort)
[ "$files" = "$want" ] || fail "the package holds: $(echo $files)"
[ -z "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')" ] || fail "files not owned by root"

dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x failed"
if grep -r -l -a -F -e "$root" "$work/root"; then
    fail "files above name the build machine's folders"
fi
[ -z "$page" ] || cmp -s "$work/root/usr/share/lumirun-render/lumirun.html" "$page" ||
    fail "lumirun.html is not the one the build made"
cmp -s "$work/root/usr/share/lumirun-render/sample.jpg" "$sample" || fail "the packaged sample.jpg is not the sample chart"
program=$work/root/usr/bin/lumirun-render
out=$("$program" --version | head -n 1)
[ "$out" = "lumirun-render $version" ] || fail "--version prints '$out'"
"$program" --quiet "$sample" "$work/packaged.jpg" || fail "the packaged program failed on the sample"
"$render" --quiet "$sample" "$work/reference.jpg" || fail "the build tree's program failed on the sample"
cmp -s "$work/packaged.jpg" "$work/reference.jpg" || fail "the packaged program renders different bytes"

# The manual page: no warnings, and every option of --help in it.
man=$work/root/usr/share/man/man1/lumirun-render.1.gz
warnings=$(zcat "$man" | groff -ww -man -Tutf8 -z 2>&1)
[ -z "$warnings" ] || fail "groff -ww: $warnings"
if command -v mandoc > /dev/null; then
    warnings=$(zcat "$man" | mandoc -T lint -W warning 2>&1)
    [ -z "$warnings" ] || fail "mandoc -T lint: $warnings"
fi
for option in $("$program" --help | grep -o -E '^  --[a-z]+' | sort -u); do
    zcat "$man" | grep -q -F -- "\\-\\-${option#--}" || fail "the manual page lacks $option"
done
for section in "EXIT STATUS" EXAMPLES FILES NOTES; do
    zcat "$man" | grep -q "^\\.SH $section" || fail "the manual page lacks the section $section"
done

if command -v lintian > /dev/null; then
    lintian --fail-on error "$deb" || fail "lintian reports errors"
else
    echo "lintian is not installed: skipped"
fi

# Its dependencies resolve against this machine's package lists.
apt-get install --simulate --no-install-recommends "$deb" > "$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "its dependencies cannot be installed"; }

echo "package checks: $failures failures"
[ "$failures" = 0 ]
