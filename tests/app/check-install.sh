#!/bin/sh
# The Debian package, as test.sh's release stage hands it over (from dist/), checked outside and
# then installed in a fresh Debian 12 root (tools/setup/debian-root.sh) as a school's technician
# would use it. Outside: its name and version, its files and their modes, the cues as in the
# sources, the desktop entry, the metainfo (valid, with the release's version and date); the
# manual pages are lintian's (test.sh's release stage). Installed: the game plays a
# turn whose cue is heard through the installed audio module (debian/tests/play); then a
# teacher's recording in place of toscana.wav is kept byte for byte through a reinstallation,
# an upgrade to a higher version built here from the same source (its project() line raised,
# one cue changed), and a removal, while the other cues follow each version; the upgraded game
# plays a turn; once removed, nothing but the recording is left, and once purged, nothing.
# Usage: check-install.sh <.deb> <source folder> [<.deb of the higher version, not built then>]
set -u
deb=$(realpath "$1") src=$(realpath "$2")
id=org.zefirana.zefirana
status=0
fail() { echo "FAIL: $*"; status=1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/zefirana-deb.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

field() { dpkg-deb -f "$deb" "$1"; }
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
[ "$(field Package) $(field Version) $(field Architecture)" = "zefirana $version $(dpkg --print-architecture)" ] ||
    fail "the package is $(field Package) $(field Version) $(field Architecture), not of version $version"
dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr
cues=$(cd "$src/regione" && ls)
{
    echo "755 lib/zefirana/Zefirana"; echo "644 lib/zefirana/zefirana-audio.so"
    echo "777 bin/zefirana -> ../lib/zefirana/Zefirana"; echo "777 lib/zefirana/regione -> /etc/zefirana/regione"
    for c in $cues; do echo "644 share/zefirana/regione/$c"; done
    for s in 32x32 64x64 256x256; do echo "644 share/icons/hicolor/$s/apps/$id.png"; done
    printf '644 share/%s\n' applications/$id.desktop metainfo/$id.metainfo.xml doc/zefirana/copyright \
        doc/zefirana/changelog.Debian.gz man/man6/zefirana.6.gz man/it/man6/zefirana.6.gz lintian/overrides/zefirana
} | sort >"$work/expected"
(cd "$root" && find . -type l -printf '%m %P -> %l\n' -o ! -type d -printf '%m %P\n') | sort >"$work/installed"
diff "$work/expected" "$work/installed" || fail "the packaged files or their modes differ (< expected, > packaged)"
diff -r "$src/regione" "$root/share/zefirana/regione" || fail "the packaged cues differ from regione/"
# Hints (such as two main categories, Education and Game) are allowed; errors and warnings are not.
desktop=$root/share/applications/$id.desktop
desktop-file-validate "$desktop" 2>&1 | grep -E ': (error|warning):' && fail "desktop-file-validate reports problems"
appstreamcli validate --no-net --strict --pedantic "$root/share/metainfo/$id.metainfo.xml" >"$work/log" 2>&1 ||
    { cat "$work/log"; fail "appstreamcli rejects the metainfo"; }
[ -x "$root/bin/$(sed -n 's/^Exec=//p' "$desktop")" ] || fail "the desktop entry does not start bin/zefirana"
[ -f "$root/share/icons/hicolor/256x256/apps/$(sed -n 's/^Icon=//p' "$desktop").png" ] || fail "the desktop entry names no installed icon"
release="<release version=\"${version%-*}\" date=\"$(date -u -d @"$(git -C "$src" log -1 --format=%ct)" +%F)\"/>"
grep -qF "$release" "$root/share/metainfo/$id.metainfo.xml" || fail "the metainfo has no $release"

# The higher version: the same source with the version line raised, an entry for it in the
# changelog, and one cue that changes.
if [ $# -gt 2 ]; then cp "$3" "$work/fresh-higher.deb"; else
higher=$("$src/tools/next-version.sh" "$src" "$work/up")-1
cp "$src/regione/veneto.wav" "$work/up/regione/valle.wav"
(cd "$work/up" && dpkg-buildpackage -us -uc -b -j2 >"$work/up.log" 2>&1) ||
    { tail -n 30 "$work/up.log"; fail "the higher version does not build"; }
cp "$work"/zefirana_"$higher"_*.deb "$work/fresh-higher.deb"
fi

# The fresh root, with what the game and the tests need.
packages=$({ field Depends | sed 's/([^)]*)//g; s/|[^,]*//g'
    awk '/^Depends:/ { p = 1; sub(/^Depends:/, "") } /^[A-Z]/ && !/^Depends:/ { p = 0 } p' "$src/debian/tests/control"
} | tr -s ', \n' '\n\n\n' | grep -vx 'zefirana\|' | sort -u)
tarball=$("$src/tools/setup/debian-root.sh" run $packages) || exit 1
mkdir "$work/fresh" && tar -xf "$tarball" -C "$work/fresh" || exit 1
cp "$deb" "$work/fresh/tmp/this.deb" && cp "$work/fresh-higher.deb" "$work/fresh/tmp/higher.deb"
python3 -c "import sys; sys.path.insert(0, '$src/tests/e2e'); import harness; sys.stdout.buffer.write(harness.tone(2, 440))" >"$work/teacher.wav"
cp "$work/teacher.wav" "$work/fresh/tmp/"
listing() {
    (cd "$work/fresh" && find . \( -path ./proc -o -path ./dev -o -path ./tmp -o -path ./src -o -path ./var/lib/dpkg \
        -o -path ./var/log -o -path ./var/lib/xkb \) -prune -o -print | sort)
}
listing >"$work/before"
cues=$work/fresh/etc/zefirana/regione
# step | what the technician does | whether the game is installed | whether the recording is kept
while IFS='|' read -r step command installed recording; do
    "$src/tools/setup/debian-root.sh" enter "$work/fresh" "$src" "$command" >"$work/step.log" 2>&1 ||
        { cat "$work/step.log"; fail "$step: $command"; }
    if [ "$recording" = kept ]; then
        cmp -s "$work/teacher.wav" "$cues/toscana.wav" || fail "$step: the teacher's recording is lost"
        allowed='^> ./etc/zefirana\(/regione\(/toscana.wav\)\?\)\?$'
    else
        allowed='^>>$'
    fi
    for original in "$work/fresh/usr/share/zefirana/regione"/*.wav; do
        [ "$installed" = no ] || [ "${original##*/}" = toscana.wav ] || cmp -s "$original" "$cues/${original##*/}" ||
            fail "$step: ${original##*/} is not this version's"
    done
    [ "$installed" = yes ] || ! listing | diff "$work/before" - | grep -v "^[0-9,acd]*\$\|$allowed" ||
        fail "$step: these are left (>) or gone (<)"
done <<STEPS
install|dpkg -i /tmp/this.deb && /src/debian/tests/play && cp /tmp/teacher.wav /usr/lib/zefirana/regione/toscana.wav|yes|kept
reinstall|dpkg -i /tmp/this.deb|yes|kept
upgrade|dpkg -i /tmp/higher.deb && /src/debian/tests/play|yes|kept
remove|dpkg -r zefirana|no|kept
purge|dpkg -P zefirana|no|gone
STEPS
[ $status -eq 0 ] && echo "PASS: the Debian package"
exit $status
