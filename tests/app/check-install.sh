#!/bin/sh
# The Linux installation of the build tree, as the Debian package made by "cpack -G DEB" holds it
# (made by the same install rules as "cmake --install"), unpacked after its control data is
# checked and Debian's package checker (lintian) finds no error and no warning. The tree holds
# exactly the program in lib/zefirana with the 21 cues beside it, the relative link
# bin/zefirana, the desktop entry, the metainfo, the hicolor icons, the licences, the changelog,
# the manual pages and the checker's overrides, as in the sources; the desktop entry and the
# metainfo are valid and name the installed program, icon and version; man renders the manual
# page in English and in Italian without a warning; and a copy of the installed program comes up
# and plays its cues through the installed audio module (the end-to-end case of the program's
# own cues, on an X server and a sound server of its own).
# Usage: check-install.sh <build folder> <source folder>. Exits 77 when a tool is missing.
set -u
build=$1 src=$2
id=org.zefirana.zefirana
status=0
fail() { echo "FAIL: $*"; status=1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/zefirana-deb.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps lintian man /usr/bin/python3; do
    command -v $tool >/dev/null 2>&1 || { echo "SKIP: $tool not found (see tools/setup/install-packages.sh)"; exit 77; }
done

(cd "$build" && cpack -G DEB -B "$work" --config CPackConfig.cmake) >"$work/log" 2>&1 ||
    { cat "$work/log"; echo "FAIL: cpack -G DEB"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$work/zefirana_2.00-1_$arch.deb
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package) $(field Version) $(field Architecture)" = "zefirana 2.00-1 $arch" ] ||
    fail "the package is $(field Package) $(field Version) $(field Architecture)"
# The dependencies come from dpkg-shlibdeps: versioned Qt libraries, the C library and the
# sound library the audio module links.
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libpulse0; do
    field Depends | tr ',' '\n' | grep -q "^ *$lib (>= [^)]*)$" ||
        fail "Depends lacks a versioned $lib: $(field Depends)"
done
# Default profile; the overrides, with their reasons, are in packaging/linux/lintian-overrides.
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian rejects the package"; }
# apt resolves the package against this Debian's own archive, as a real installation would.
apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt cannot install the package here"; }
dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr

cues="esatto emilia toscana lombardia trentino veneto friuli piemonte liguria umbria marche lazio abruzzo
      molise campania puglia basilicata calabria sicilia sardegna valle"
{
    echo "755 lib/zefirana/Zefirana"; echo "644 lib/zefirana/zefirana-audio.so"; echo "777 bin/zefirana"
    for c in $cues; do echo "644 lib/zefirana/regione/$c.wav"; done
    for s in 32x32 64x64 256x256; do echo "644 share/icons/hicolor/$s/apps/$id.png"; done
    printf '644 share/%s\n' applications/$id.desktop metainfo/$id.metainfo.xml doc/zefirana/copyright \
        doc/zefirana/changelog.Debian.gz man/man6/zefirana.6.gz man/it/man6/zefirana.6.gz lintian/overrides/zefirana
} | sort >"$work/expected"
(cd "$root" && find . ! -type d -printf '%m %P\n') | sort >"$work/installed"
diff "$work/expected" "$work/installed" || fail "the installed files or their modes differ (< expected, > installed)"
link=$(readlink "$root/bin/zefirana")
[ "$link" = ../lib/zefirana/Zefirana ] || fail "bin/zefirana -> $link, not ../lib/zefirana/Zefirana"
diff -r "$src/regione" "$root/lib/zefirana/regione" || fail "the installed cues differ from regione/"
for pair in resources/flag.png:share/icons/hicolor/32x32/apps/$id.png resources/flag@2x.png:share/icons/hicolor/64x64/apps/$id.png \
        resources/zefirana.png:share/icons/hicolor/256x256/apps/$id.png packaging/linux/$id.desktop:share/applications/$id.desktop \
        packaging/linux/$id.metainfo.xml:share/metainfo/$id.metainfo.xml packaging/linux/copyright:share/doc/zefirana/copyright; do
    cmp -s "$src/${pair%%:*}" "$root/${pair#*:}" || fail "${pair#*:} differs from ${pair%%:*}"
done

# Hints (such as two main categories, Education and Game) are allowed; errors and warnings are not.
desktop=$root/share/applications/$id.desktop
desktop-file-validate "$desktop" 2>&1 | grep -E ': (error|warning):' && fail "desktop-file-validate reports problems"
appstreamcli validate --no-net --strict --pedantic "$root/share/metainfo/$id.metainfo.xml" >"$work/log" 2>&1 ||
    { cat "$work/log"; fail "appstreamcli rejects the metainfo"; }
[ -x "$root/bin/$(sed -n 's/^Exec=//p' "$desktop")" ] || fail "the desktop entry does not start bin/zefirana"
[ -f "$root/share/icons/hicolor/256x256/apps/$(sed -n 's/^Icon=//p' "$desktop").png" ] || fail "the desktop entry names no installed icon"
for tag in "<id>$id</id>" "<launchable type=\"desktop-id\">$id.desktop</launchable>" "<binary>zefirana</binary>" \
           "<release version=\"2.00\""; do
    grep -qF "$tag" "$root/share/metainfo/$id.metainfo.xml" || fail "the metainfo has no $tag"
done

for page in man6/zefirana.6.gz:NAME it/man6/zefirana.6.gz:NOME; do
    man --warnings -l "$root/share/man/${page%:*}" 2>"$work/man.log" | grep -qx "${page#*:}" && [ ! -s "$work/man.log" ] ||
        { cat "$work/man.log"; fail "man does not render ${page%:*} without warnings"; }
done
/usr/bin/python3 -B "$src/tests/e2e/cases.py" plays-own-cues "$root/lib/zefirana/Zefirana" >"$work/log" 2>&1 ||
    { cat "$work/log"; fail "the installed program with its audio module plays no cue"; }
[ $status -eq 0 ] && echo "PASS: the Debian package"
exit $status
