#!/usr/bin/env bash
# Fetches one of Debian's source packages and unpacks it, with Debian's
# patches applied, into a folder of the build tree:
#   bash scripts/fetch-debian-source.sh PACKAGE FOLDER [REQUIRED-PATH]
# REQUIRED-PATH, relative to the unpacked source, must exist in it. Skips
# everything when the source is already unpacked there.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

[ "$#" -ge 2 ] || die "usage: fetch-debian-source.sh PACKAGE FOLDER [REQUIRED-PATH]"
package=$1
src=$2
required=${3:-}
stamp="$src/.lumirun-unpacked"
if [ -f "$stamp" ]; then
    say "$package source: $(cat "$stamp") in $src"
    exit 0
fi
command -v dpkg-source >/dev/null || die "dpkg-source missing: run scripts/install-deps.sh"

has_deb_src() {
    grep -Eqs '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
        grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}

# A deb-src entry mirroring the machine's own Debian entries: same addresses,
# suites and keys, only the type changed.
add_deb_src() {
    local derived
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        derived=$(sed -E 's/^([[:space:]]*Types:).*/\1 deb-src/' /etc/apt/sources.list.d/debian.sources)
        printf '%s\n' "$derived" | as_root tee /etc/apt/sources.list.d/lumirun-deb-src.sources >/dev/null
    elif grep -Eqs '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
        derived=$(sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list)
        printf '%s\n' "$derived" | as_root tee /etc/apt/sources.list.d/lumirun-deb-src.list >/dev/null
    else
        die "no Debian entry in /etc/apt/sources.list.d/debian.sources or /etc/apt/sources.list to derive a deb-src entry from"
    fi
    say "Added a deb-src entry derived from the machine's Debian entries."
}

# grep reads all of apt-cache's output: with -q it could stop early and the
# writer's SIGPIPE would fail the pipeline.
known_source() { apt-cache showsrc "$package" 2>/dev/null | grep "^Package: $package\$" >/dev/null; }

if ! known_source; then
    has_deb_src || add_deb_src
    APT_TIMEOUT=600 apt_get update || die "apt-get update failed"
    known_source || die "apt knows no source package $package even with a deb-src entry"
fi

# As root apt downloads as the _apt user: give it a folder it can reach and
# write (the checkout itself may sit in a private folder).
dl=$(mktemp -d)
at_exit "rm -rf '$dl'"
chmod 755 "$dl"
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then
    chown _apt "$dl"
fi
rm -rf "$src.tmp"
mkdir -p "$(dirname "$src")"
# The newest version first; when a mirror lacks its files (a security
# update's source can be missing there), the other versions apt knows.
download() {
    local version
    (cd "$dl" && timeout 600 apt-get -q source --download-only "$package" </dev/null) && return 0
    for version in $(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -r -V -u); do
        rm -f "$dl"/*
        say "Trying $package $version instead."
        (cd "$dl" && timeout 600 apt-get -q source --download-only "$package=$version" </dev/null) && return 0
    done
    return 1
}
download || die "downloading the $package source package failed"
dsc=$(ls "$dl/${package}_"*.dsc 2>/dev/null | head -n 1)
[ -n "$dsc" ] || die "no .dsc file after downloading the $package source"

# Unpack beside the final place and move it there only when complete.
# apt has checked the files against the signed archive index; dpkg-source
# checks them against the .dsc. It may warn that it has no key for the
# uploader's signature.
timeout 300 dpkg-source --no-copy -x "$dsc" "$src.tmp" >/dev/null ||
    die "unpacking $dsc failed"
[ -z "$required" ] || [ -e "$src.tmp/$required" ] || die "the unpacked $package source has no $required"
basename "$dsc" .dsc >"$src.tmp/.lumirun-unpacked"
rm -rf "$src"
mv "$src.tmp" "$src"
say "$package source: $(cat "$stamp") in $src"
