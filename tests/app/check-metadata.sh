#!/bin/sh
# The desktop entry and the AppStream metadata of the Linux installation: valid, and naming
# each other, the icon and the program consistently; and the Debian copyright file complete.
# Usage: check-metadata.sh <packaging/linux folder>. Exits 77 when neither validator is installed.
set -u
dir=$1
id=org.zefirana.zefirana
desktop=$dir/$id.desktop
metainfo=$dir/$id.metainfo.xml
status=0
fail() { echo "FAIL: $*"; status=1; }

[ -f "$desktop" ] || fail "$desktop is missing"
[ -f "$metainfo" ] || fail "$metainfo is missing"
[ $status -eq 0 ] || exit 1

ran=0
if command -v desktop-file-validate >/dev/null 2>&1; then
    ran=1
    out=$(desktop-file-validate "$desktop" 2>&1); rc=$?
    echo "desktop-file-validate: exit $rc"; [ -n "$out" ] && echo "$out"
    # Hints (such as two main categories, Education and Game) are allowed; errors and warnings are not.
    [ $rc -eq 0 ] || fail "desktop-file-validate rejects $desktop"
    echo "$out" | grep -E ': (error|warning):' >/dev/null && fail "desktop-file-validate reports problems"
else
    echo "SKIP: desktop-file-validate not found (Debian package desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    ran=1
    appstreamcli validate --no-net --strict --pedantic "$metainfo" || fail "appstreamcli rejects $metainfo"
else
    echo "SKIP: appstreamcli not found (Debian package appstream)"
fi
[ $ran -eq 1 ] || exit 77

# The two files must agree with each other and with the installed names.
key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
[ "$(key Icon)" = "$id" ] || fail "Icon= is '$(key Icon)', the icons are installed as $id.png"
[ "$(key Exec)" = "zefirana" ] || fail "Exec= is '$(key Exec)', the program is installed as bin/zefirana"
[ "$(key Name)" = "Zefirana" ] || fail "Name= is '$(key Name)'"
grep -q "^Comment\[it\]=" "$desktop" || fail "no Italian comment in the desktop entry"
grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
grep -q "<binary>zefirana</binary>" "$metainfo" || fail "the metainfo does not provide the binary zefirana"
grep -q '<release version="2.00"' "$metainfo" || fail "the metainfo has no release 2.00"
grep -q '<content_rating type="oars-' "$metainfo" || fail "the metainfo has no content rating"
# copyright (machine-readable format): every licence that a Files paragraph names has a
# stand-alone paragraph with its text, and the program's own licence is the one of the metainfo.
copyright=$dir/copyright
if [ -f "$copyright" ]; then
    problems=$(awk '
        /^$/ { files = 0; current = ""; next }
        /^Files:/ { files = 1 }
        /^License:/ {
            current = $2
            if (files) used[current] = 1
            if (!(current in lines)) lines[current] = 0
            next
        }
        /^ / { if (current != "") lines[current]++; next }
        { current = "" }
        END {
            for (n in used) if (lines[n] < 3) print "no text for licence " n
        }' "$copyright")
    [ -z "$problems" ] || fail "$copyright: $problems"
    grep -q '^Files: \*$' "$copyright" || fail "$copyright has no paragraph for all files"
    awk '/^Files: \*$/ { getline; getline; print; exit }' "$copyright" | grep -q '^License: GPL-3+$' ||
        fail "$copyright does not give GPL-3+ for all files"
    grep -q '<project_license>GPL-3.0-or-later[ <]' "$metainfo" || fail "the metainfo does not give GPL-3.0-or-later first"
else
    fail "$copyright is missing"
fi
[ $status -eq 0 ] && echo "PASS: desktop entry, metainfo and copyright"
exit $status
