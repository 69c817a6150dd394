#!/bin/sh
# cpack -G DEB on the build tree: the package must carry the program, its 21 cues, the link,
# the desktop entry, the metainfo and the icons under /usr, with dependencies computed by
# dpkg-shlibdeps; unpacked, the program must start.
# Usage: check-deb.sh <build folder> <source folder>. Exits 77 when the Debian tools are missing.
set -u
build=$1
src=$2
id=org.zefirana.zefirana
status=0
fail() { echo "FAIL: $*"; status=1; }

for tool in dpkg-deb dpkg-shlibdeps file; do
    if ! command -v $tool >/dev/null 2>&1; then
        echo "SKIP: $tool not found (Debian packages dpkg, dpkg-dev, file): the Debian package is not built"
        exit 77
    fi
done
[ -f "$build/CPackConfig.cmake" ] || { echo "FAIL: $build/CPackConfig.cmake is missing"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zefirana-deb.XXXXXX") || exit 1
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

if ! (cd "$build" && cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB"
    exit 1
fi
deb=$(ls "$work"/*.deb 2>/dev/null)
[ "$(echo "$deb" | wc -w)" -eq 1 ] || { cat "$work/cpack.log"; echo "FAIL: cpack made [$deb], expected one .deb"; exit 1; }
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "zefirana_2.00-1_$arch.deb" ] || fail "the package file is $(basename "$deb")"

# The control fields.
dpkg-deb -I "$deb" >"$work/info" || fail "dpkg-deb -I cannot read the package"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zefirana ] || fail "Package: $(field Package)"
[ "$(field Version)" = 2.00-1 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
field Description | head -n 1 | grep -q 'regions of Italy' || fail "Description: $(field Description | head -n 1)"
[ "$(field Description | wc -l)" -gt 1 ] || fail "the Description has no long text"
# The dependencies come from dpkg-shlibdeps: versioned Qt libraries and the C library.
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6multimedia6; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//' | grep -q "^$lib (>= [^)]*)$" ||
        fail "Depends does not name $lib with a version: $depends"
done

# The files, under /usr.
dpkg-deb -c "$deb" >"$work/contents" || fail "dpkg-deb -c cannot list the package"
has() { grep -Eq "$1" "$work/contents" || fail "the package does not hold $2"; }
has '^-rwxr-xr-x root/root +[0-9]+ [-0-9]+ [0-9:]+ \./usr/lib/zefirana/Zefirana$' "an executable /usr/lib/zefirana/Zefirana owned by root"
has '^lrwxrwxrwx root/root +0 [-0-9]+ [0-9:]+ \./usr/bin/zefirana -> \.\./lib/zefirana/Zefirana$' "the link /usr/bin/zefirana -> ../lib/zefirana/Zefirana"
has "\./usr/share/applications/$id\.desktop$" "the desktop entry"
has "\./usr/share/metainfo/$id\.metainfo\.xml$" "the metainfo"
has '^-rw-r--r-- root/root +[0-9]+ [-0-9]+ [0-9:]+ \./usr/share/doc/zefirana/copyright$' "the licences in /usr/share/doc/zefirana/copyright"
for size in 32x32 64x64 256x256; do
    has "\./usr/share/icons/hicolor/$size/apps/$id\.png$" "the $size icon"
done
cues=$(grep -Ec '^-rw-r--r-- root/root +[0-9]+ [-0-9]+ [0-9:]+ \./usr/lib/zefirana/regione/[a-z]+\.wav$' "$work/contents")
[ "$cues" -eq 21 ] || fail "the package holds $cues cues in /usr/lib/zefirana/regione, expected 21"
grep -v '/$' "$work/contents" | grep -Ev '\./usr/(lib/zefirana/|bin/zefirana |share/(applications|metainfo|icons/hicolor|doc/zefirana)/)' >"$work/stray" &&
    fail "files outside the installation: $(cat "$work/stray")"

# Unpacked, the program is stripped and starts through the link (offscreen, with no display).
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x cannot unpack the package"
file -L "$work/root/usr/lib/zefirana/Zefirana" | grep -q ', stripped' || fail "the packaged program is not stripped"
for f in "$src"/regione/*.wav; do
    cmp -s "$f" "$work/root/usr/lib/zefirana/regione/$(basename "$f")" || fail "regione/$(basename "$f") differs from the source"
done
QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/zefirana" >"$work/run.log" 2>&1 &
pid=$!
sleep 3
if kill -0 "$pid" 2>/dev/null; then
    exe=$(readlink "/proc/$pid/exe")
    [ "$exe" = "$work/root/usr/lib/zefirana/Zefirana" ] || fail "the running program is '$exe'"
    kill "$pid"; wait "$pid" 2>/dev/null
else
    wait "$pid"; rc=$?
    fail "the unpacked program ended by itself with status $rc"; cat "$work/run.log"
fi
pid=

if [ $status -ne 0 ]; then
    echo "--- dpkg-deb -I"; cat "$work/info"; echo "--- dpkg-deb -c"; cat "$work/contents"
else
    echo "PASS: $(basename "$deb"), $(stat -c %s "$deb") bytes, $(grep -vc '/$' "$work/contents") files"
    echo "Depends: $depends"
fi
exit $status
