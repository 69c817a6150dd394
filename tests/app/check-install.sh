#!/bin/sh
# cmake --install of the build tree into a scratch prefix: the program in lib/zefirana with its
# 21 cues beside it, the relative link bin/zefirana, the desktop entry, the metainfo, the
# icons and the licences; then the installed program is started through the link and must come up.
# Usage: check-install.sh <build folder> <source folder>
set -u
build=$1
src=$2
id=org.zefirana.zefirana
status=0
fail() { echo "FAIL: $*"; status=1; }

# Under Xvfb (when xvfb-run and xdotool are installed) the program is started on a real X
# server, so the whole script runs again inside xvfb-run.
if command -v xvfb-run >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1 && [ -z "${ZEFIRANA_INSTALL_TEST_UNDER_X:-}" ]; then
    ZEFIRANA_INSTALL_TEST_UNDER_X=1 exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$@"
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/zefirana-install.XXXXXX") || exit 1
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"; rm -f "$prefix.log"
    echo "FAIL: cmake --install"
    exit 1
fi
rm -f "$prefix.log"

program=$prefix/lib/zefirana/Zefirana
[ -f "$program" ] && [ -x "$program" ] || fail "lib/zefirana/Zefirana is missing or not executable"
[ "$(head -c 4 "$program" | od -An -c | tr -d ' ')" = "177ELF" ] || fail "lib/zefirana/Zefirana is not an ELF program"

# The cues: the 21 files of the region catalogue and the praise cue, as in the sources.
expected=$(for w in esatto emilia toscana lombardia trentino veneto friuli piemonte liguria umbria marche \
                    lazio abruzzo molise campania puglia basilicata calabria sicilia sardegna valle; do
               echo "$w.wav"; done | sort)
installed=$(cd "$prefix/lib/zefirana/regione" 2>/dev/null && ls -1A | sort)
if [ "$installed" = "$expected" ]; then
    for f in $expected; do
        cmp -s "$src/regione/$f" "$prefix/lib/zefirana/regione/$f" || fail "regione/$f differs from the source"
    done
else
    fail "lib/zefirana/regione holds [$(echo $installed)], expected the 21 cues [$(echo $expected)]"
fi

# The link: relative, so that the tree can be moved (and packaged), resolving to the program.
link=$prefix/bin/zefirana
if [ -L "$link" ]; then
    target=$(readlink "$link")
    case $target in
        /*) fail "bin/zefirana points to the absolute path $target" ;;
    esac
    [ "$(readlink -f "$link")" = "$(readlink -f "$program")" ] || fail "bin/zefirana -> $target does not reach the program"
else
    fail "bin/zefirana is not a symbolic link"
fi

# The desktop entry and the metainfo, as in the sources.
cmp -s "$src/packaging/linux/$id.desktop" "$prefix/share/applications/$id.desktop" ||
    fail "share/applications/$id.desktop is missing or differs"
cmp -s "$src/packaging/linux/$id.metainfo.xml" "$prefix/share/metainfo/$id.metainfo.xml" ||
    fail "share/metainfo/$id.metainfo.xml is missing or differs"
cmp -s "$src/packaging/linux/copyright" "$prefix/share/doc/zefirana/copyright" ||
    fail "share/doc/zefirana/copyright is missing or differs"

# The icons: PNG images of the size of their hicolor folder.
png_size() {  # width and height from the IHDR chunk of a PNG file
    [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || return 1
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d\n", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}
for size in 32x32 64x64 256x256; do
    icon=$prefix/share/icons/hicolor/$size/apps/$id.png
    if [ -f "$icon" ]; then
        got=$(png_size "$icon") || got="not a PNG image"
        [ "$got" = "$size" ] || fail "hicolor/$size/apps/$id.png is $got"
    else
        fail "hicolor/$size/apps/$id.png is missing"
    fi
done

# Nothing else is installed.
extra=$(cd "$prefix" && find . ! -type d | sort | grep -v -x -e "./lib/zefirana/Zefirana" -e "./lib/zefirana/regione/[a-z]*\.wav" \
        -e "./bin/zefirana" -e "./share/applications/$id.desktop" -e "./share/metainfo/$id.metainfo.xml" \
        -e "./share/icons/hicolor/[0-9x]*/apps/$id.png" -e "./share/doc/zefirana/copyright")
[ -z "$extra" ] || fail "unexpected files installed: $(echo $extra)"

[ $status -eq 0 ] || exit 1

# Start the installed program through the link, with an argument that it must ignore.
# Under Xvfb it must map a window of its own;
# otherwise, on the offscreen platform, it must still be running after three seconds.
# Either way the kernel must see the real file in lib/zefirana as its program: Qt takes
# the folder of the executable, below which the cues are found, from /proc/self/exe.
run() {
    "$link" -platform bogus >"$prefix/out.log" 2>&1 &
    pid=$!
}
if [ -n "${ZEFIRANA_INSTALL_TEST_UNDER_X:-}" ]; then
    unset QT_QPA_PLATFORM
    run
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    if [ -n "$window" ]; then
        echo "the installed program mapped window $window: \"$(xdotool getwindowname "$window")\""
    else
        fail "the installed program mapped no window within 20 seconds"
    fi
else
    export QT_QPA_PLATFORM=offscreen
    run
    sleep 3
fi
exe=$(readlink "/proc/$pid/exe" 2>/dev/null)
[ "$exe" = "$(readlink -f "$program")" ] || fail "the running program is '$exe', not lib/zefirana/Zefirana"
if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"; wait "$pid" 2>/dev/null
else
    wait "$pid"; rc=$?
    fail "the installed program ended by itself with status $rc"
fi
pid=
if [ $status -ne 0 ]; then
    echo "--- output of the program:"; cat "$prefix/out.log"
fi
[ $status -eq 0 ] && echo "PASS: installed in $prefix and started"
exit $status
