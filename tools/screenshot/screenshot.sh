#!/bin/sh
# Takes the README's picture of the window from the real program, under a virtual X server.
#   tools/screenshot/screenshot.sh [build-dir] [output.png]
# Needs: xvfb xauth xdotool imagemagick (apt-get install xvfb xauth xdotool imagemagick).
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build}
out=${2:-$here/docs/zefirana.png}
program=$build/app/Zefirana
[ -x "$program" ] || { echo "build the program first: cmake --build $build --target zefirana" >&2; exit 1; }

xvfb-run -a -s "-screen 0 640x640x24" sh -c '
  set -eu
  "$0" & pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Lumbrena" | head -n 1)
  sleep 1 # let the first paint settle
  import -window "$window" "$1"
  kill "$pid"
' "$program" "$out"
echo "wrote $out"
