#!/bin/bash
# lumirun-helpc from the outside: the real help source compiles, its HTML page
# is valid (HTML Tidy finds nothing to say), well-formed, holds every topic,
# reaches each from the contents, and keeps the index keywords out of the
# text; a broken source is refused with its line and leaves the outputs as
# they were (no part written, no temporary).
#
# Usage: tests/helpc_cli_test.sh HELPC HELP-SOURCE
set -u

helpc=$1
source_file=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/lumirun-helpc.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

"$helpc" "$source_file" "$work/help.hlp" "$work/help.html" || fail "the help source does not compile"
command -v tidy >/dev/null || fail "tidy is missing: run scripts/install-deps.sh native"
tidy -q -e "$work/help.html" 2> "$work/tidy" || fail "HTML Tidy: $(cat "$work/tidy")"
python3 - "$source_file" "$work/help.html" <<'PY' || fail "the HTML page"
import sys
import xml.etree.ElementTree as ET
lines = open(sys.argv[1]).read().splitlines()
names = [line.split()[1] for line in lines if line.startswith("@topic ")]
contents = next(line.split()[1] for line in lines if line.startswith("@contents "))
page = ET.parse(sys.argv[2]).getroot()
ids = [s.get("id") for s in page.iter("section")]
# The contents first, then the topics in the source's order.
if ids != [contents] + [n for n in names if n != contents]:
    sys.exit(f"sections {ids}, topics {names}")
anchors = {a.get("href")[1:] for a in page.iter("a")}
if not anchors <= set(ids):
    sys.exit(f"links to nothing: {anchors - set(ids)}")
first = next(page.iter("section"))
listed = {a.get("href")[1:] for a in first.iter("a")}
if listed != set(names) - {contents}:
    sys.exit(f"the contents does not list {set(names) - {contents} - listed}")
head = page.find("head")
if not any(m.get("name") == "viewport" for m in head.iter("meta")) or head.find("style") is None:
    sys.exit("no viewport or style sheet in the head")
text = "".join(page.find("body").itertext())
keyword = next(line[10:].split(";")[-1].strip() for line in lines if line.startswith("@keywords "))
if "Index:" in text or keyword in text:
    sys.exit(f"index keywords in the text (\"{keyword}\")")
PY

# A link to a missing topic on line 5: refused, the old outputs untouched.
cp "$work/help.hlp" "$work/old.hlp"
cp "$work/help.html" "$work/old.html"
printf '@title T\n@contents a\n@topic a A\ntext\nsee [[b]]\n' > "$work/broken.txt"
"$helpc" "$work/broken.txt" "$work/help.hlp" "$work/help.html" 2> "$work/err"
status=$?
[ "$status" -eq 1 ] || fail "broken source: exit status $status, expected 1"
expected="lumirun-helpc: $work/broken.txt:5: link to a topic that does not exist: b"
[ "$(cat "$work/err")" = "$expected" ] || fail "broken source: message \"$(cat "$work/err")\""
cmp -s "$work/help.hlp" "$work/old.hlp" && cmp -s "$work/help.html" "$work/old.html" ||
    fail "broken source: an output changed"

# An output that cannot be written: no temporary left behind.
"$helpc" "$source_file" "$work/missing/help.hlp" "$work/x.html" 2> "$work/err"
status=$?
[ "$status" -eq 1 ] || fail "unwritable output: exit status $status, expected 1"
[ -z "$(find "$work" -name '*.tmp')" ] || fail "a temporary file was left"
[ ! -e "$work/x.html" ] || fail "the HTML page was written although the help file was not"

"$helpc" "$source_file" 2> "$work/err"
status=$?
[ "$status" -eq 2 ] || fail "usage: exit status $status, expected 2"

if [ "$failures" -gt 0 ]; then
    echo "helpc: $failures failures" >&2
    exit 1
fi
echo "helpc: the help compiles, its page holds every topic, broken sources are refused"
