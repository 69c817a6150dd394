#!/bin/sh
# The desktop entry and the AppStream metadata of the Linux installation: valid, and naming
# each other, the icon, the program and the version as they are installed.
# Usage: check-metadata.sh <packaging/linux folder>. Exits 77 when neither validator is installed.
set -u
id=org.zefirana.zefirana
desktop=$1/$id.desktop
metainfo=$1/$id.metainfo.xml
status=0
fail() { echo "FAIL: $*"; status=1; }

ran=0
if command -v desktop-file-validate >/dev/null 2>&1; then
    ran=1
    # Hints (such as two main categories, Education and Game) are allowed; errors and warnings are not.
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects $desktop"
    echo "$out" | grep -E ': (error|warning):' && fail "desktop-file-validate reports problems"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    ran=1
    appstreamcli validate --no-net --strict --pedantic "$metainfo" || fail "appstreamcli rejects $metainfo"
fi
[ $ran -eq 1 ] || { echo "SKIP: neither desktop-file-validate nor appstreamcli is installed"; exit 77; }

grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
grep -qx "Exec=zefirana" "$desktop" || fail "the desktop entry does not start bin/zefirana"
for tag in "<id>$id</id>" "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
           "<binary>zefirana</binary>" "<release version=\"2.00\""; do
    grep -qF "$tag" "$metainfo" || fail "the metainfo has no $tag"
done
[ $status -eq 0 ] && echo "PASS: desktop entry and metainfo"
exit $status
