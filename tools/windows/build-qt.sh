#!/bin/sh
# Builds the static Qt 6 for 64-bit Windows that Zefirana's Windows build links, from Debian's
# own qtbase source and MinGW-w64 compilers, and installs it into a cache folder outside the
# work tree. Later runs reuse it; it is rebuilt only when the version or the configuration
# changes (the folder's name carries a hash of both).
#   tools/windows/build-qt.sh          builds when needed; prints the Qt folder as its last line
#   JOBS=2 tools/windows/build-qt.sh   the number of compilers to run at once (default: all cores)
# The cache lives in $ZEFIRANA_CACHE, by default ~/.cache/zefirana.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/mingw-w64.cmake
cache=${ZEFIRANA_CACHE:-$HOME/.cache/zefirana}
jobs=${JOBS:-$(nproc)}

# The host tools (moc, rcc, uic) come from Debian's Qt, so the cross-built Qt has its version.
debian_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
version=${debian_version%%+*}

# The smallest Qt the game and its tests need: Core, Gui, Widgets, Test, the Windows platform and
# the offscreen one (the tests' platform, which needs FreeType), pictures with Qt's own JPEG, PNG
# and zlib. Debian's source lacks the tablet and SQLite code, hence those two features are off;
# without Direct2D, DirectWrite 3 must be turned off by hand or nothing links.
options="-static -static-runtime -release -optimize-size
 -nomake examples -nomake tests
 -no-opengl -no-dbus -no-icu -no-glib -no-direct2d -no-feature-directwrite3
 -no-feature-tabletevent -no-feature-sql -no-feature-network -no-feature-printsupport
 -no-feature-concurrent -no-feature-xml -no-feature-vulkan
 -qt-freetype -qt-harfbuzz -qt-libjpeg -qt-libpng -qt-zlib -qt-pcre -no-fontconfig"
hash=$({ echo "$debian_version"; echo "$options"; cat "$toolchain"; } | sha256sum | cut -c1-12)
prefix=$cache/qt-$version-win64-$hash
say() { echo "build-qt: $*" >&2; }

# One build at a time in the shared cache: a second run waits here, then finds the first one's Qt.
mkdir -p "$cache"
exec 9>"$cache/build-qt.lock"
flock 9

if [ -f "$prefix/zefirana-qt.txt" ]; then
  echo "$prefix"
  exit 0
fi

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo

# apt-get source needs deb-src entries; when the machine has none, they are made from its own
# deb entries (one-line lists or deb822 files), so the source comes from the same archive.
if ! apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Package: qt6-base'; then
  say "adding deb-src entries beside the machine's deb entries"
  lists='' deb822=''
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    case $file in
      */zefirana-deb-src.*) ;;
      *.sources) [ -f "$file" ] && deb822="$deb822 $file" ;;
      *) [ -f "$file" ] && lists="$lists $file" ;;
    esac
  done
  if [ -n "$lists" ]; then
    # shellcheck disable=SC2086 # one word per file
    grep -h '^deb ' $lists | sed 's/^deb /deb-src /' |
      $sudo tee /etc/apt/sources.list.d/zefirana-deb-src.list >/dev/null
  fi
  if [ -n "$deb822" ]; then
    # shellcheck disable=SC2086 # one word per file
    cat $deb822 | sed 's/^Types:.*/Types: deb-src/' |
      $sudo tee /etc/apt/sources.list.d/zefirana-deb-src.sources >/dev/null
  fi
  $sudo apt-get update -qq
fi

work=$cache/build-qt-$hash
rm -rf "$work" "$prefix"
mkdir -p "$work"
began=$(date +%s)
elapsed() { s=$(($(date +%s) - began)); printf '%dm%02ds' $((s / 60)) $((s % 60)); }

say "fetching Debian's qtbase $debian_version source"
(cd "$work" && apt-get source -qq "qt6-base=$debian_version" >source.log 2>&1) ||
  { cat "$work/source.log" >&2; exit 1; }
source=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)

say "configuring ($(elapsed))"
mkdir -p "$work/build"
# shellcheck disable=SC2086 # one word per option
(cd "$work/build" && "$source/configure" -prefix "$prefix" $options \
  -qt-host-path /usr -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >configure.log 2>&1) ||
  { tail -n 60 "$work/build/configure.log" >&2; exit 1; }

say "building with $jobs jobs ($(elapsed)); progress every 5%"
# Ninja prints "[done/total] what"; every twentieth of the way gets one line.
status=0
(cd "$work/build" && NINJA_STATUS='[%f/%t] ' ninja -j"$jobs" 2>&1) >"$work/build.log" &
ninja_pid=$!
shown=0
while kill -0 "$ninja_pid" 2>/dev/null; do
  sleep 20
  step=$(grep -o '^\[[0-9]*/[0-9]*\]' "$work/build.log" | tail -n 1 | tr -d '[]')
  [ -n "$step" ] || continue
  percent=$((${step%/*} * 100 / ${step#*/}))
  if [ $((percent / 5)) -gt "$shown" ]; then
    shown=$((percent / 5))
    say "$percent% (step $step, $(elapsed))"
  fi
done
wait "$ninja_pid" || status=$?
if [ "$status" -ne 0 ]; then
  grep -B 2 -A 20 -m 3 'FAILED:' "$work/build.log" >&2 || tail -n 60 "$work/build.log" >&2
  say "the build failed; full log: $work/build.log"
  exit 1
fi

say "installing into $prefix ($(elapsed))"
(cd "$work/build" && cmake --install . >install.log 2>&1) ||
  { tail -n 30 "$work/build/install.log" >&2; exit 1; }
{
  echo "Qt $version for x86_64-w64-mingw32, from Debian's qt6-base $debian_version"
  # shellcheck disable=SC2086 # the options on one line
  echo "configure -prefix $prefix" $options "-qt-host-path /usr"
  echo "built in $(elapsed) with $jobs jobs"
} >"$prefix/zefirana-qt.txt"
rm -rf "$work"
say "done in $(elapsed); $(du -sh "$prefix" | cut -f1) in $prefix"
echo "$prefix"
