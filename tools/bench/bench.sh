#!/bin/sh
# Measures the game side by side with a bare Qt Widgets window, both built the same way and
# run in turn on one Xvfb server, and checks the performance budgets.
#
#   tools/bench/bench.sh [--rounds N] [--work DIR]    the benchmark (default 7 rounds)
#   tools/bench/bench.sh --soak [--minutes M] [--work DIR]
#                                                     leaves the game running M minutes
#                                                     (default 10) and reports memory growth
#
# Builds go to DIR (default ${TMPDIR:-/tmp}/zefirana-bench), kept between runs so that a
# second run only rebuilds what changed. Not part of the test run: the figures depend on the
# machine and its load; compare the game with the bare window of the same run only.
#
# Method: tools/bench/xprobe.c starts each program and watches the X server's own events:
# the MapNotify of the new top-level window (no window manager, so no polling and no delay),
# the DAMAGE reports of every drawing, XTEST for the click on the car button, /proc for CPU
# time, wake-ups (voluntary context switches) and peak memory (see xprobe.c for each
# figure). Each round runs the game and the bare window one after the other (the order
# alternates); a first round warms the file cache and is not counted; the table shows
# medians. Exit status 1 when a budget is missed.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
rounds=7
minutes=10
mode=bench
work=${TMPDIR:-/tmp}/zefirana-bench

while [ $# -gt 0 ]; do
  case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --soak) mode=soak; shift ;;
    --work) work=$2; shift 2 ;;
    *) echo "usage: $0 [--rounds N] [--work DIR] | --soak [--minutes M] [--work DIR]" >&2; exit 2 ;;
  esac
done

[ "$minutes" -ge 2 ] || { echo "--minutes: at least 2 (the first minute is start-up)" >&2; exit 2; }

# What the benchmark needs besides the build: the X server and the probe's libraries.
"$repo/tools/setup/install-packages.sh" play
missing=
for package in xvfb gcc libx11-dev libxtst-dev libxdamage-dev; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  # shellcheck disable=SC2086 # one word per package
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

mkdir -p "$work"
log=$work/programs.log
: >"$log"

# The game, then the bare window with the game's compiler, build type and flags.
echo "Building the game and the bare window in $work ..."
cmake -S "$repo" -B "$work/game" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEFIRANA_TESTS=OFF >/dev/null
cmake --build "$work/game" -j2 --target zefirana >/dev/null
cache() { sed -n "s/^$1:[A-Z]*=//p" "$work/game/CMakeCache.txt"; }
compiler=$(cache CMAKE_CXX_COMPILER)
buildtype=$(cache CMAKE_BUILD_TYPE)
cmake -S "$here/bare" -B "$work/bare" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE="$buildtype" \
  -DCMAKE_CXX_FLAGS="$(cache CMAKE_CXX_FLAGS)" >/dev/null
cmake --build "$work/bare" -j2 >/dev/null
cc -O2 -Wall -o "$work/xprobe" "$here/xprobe.c" -lX11 -lXtst -lXdamage
game=$work/game/app/Zefirana
bare=$work/bare/bare

# One X server for the whole run, on a free display number. -noreset: it would otherwise
# reset, refusing connections, whenever its last client leaves (between two programs).
rm -f "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>>"$log" &
xvfb=$!
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM
tries=0
until [ -s "$work/display" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { echo "Xvfb did not start (see $log)" >&2; exit 1; }
  sleep 0.1
done
DISPLAY=:$(cat "$work/display")
export DISPLAY
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR WAYLAND_DISPLAY || true

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "Machine: $cpu, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
echo "Compiler: $($compiler --version | head -n 1), $buildtype; Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown)"

if [ "$mode" = soak ]; then
  # The game with its 20 ms tick, left alone; memory sampled every 30 s.
  "$game" 2>>"$log" &
  pid=$!
  sleep 2
  kill -0 "$pid" 2>/dev/null || { echo "the game did not start (see $log)" >&2; exit 1; }
  # PSS shares each library page among every process that maps it, and a page counts as private
  # only while no other process maps it: both move whenever other programs start or stop. RSS
  # and the anonymous pages (heap, stacks: where a leak grows) are the program's own.
  sample() {
    rss=$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/status")
    pss=$(sed -n 's/^Pss:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/smaps_rollup")
    anon=$(sed -n 's/^Anonymous:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/smaps_rollup")
    ticks=$(sed 's/.*) //' "/proc/$pid/stat" | awk '{print $12 + $13}')
  }
  echo "Soak: the game left running for $minutes minutes (memory in KiB)"
  printf '%8s %10s %10s %10s\n' seconds rss anonymous pss
  elapsed=0
  end=$((minutes * 60))
  first_rss= first_anon= first_pss= first_ticks=
  while :; do
    kill -0 "$pid" 2>/dev/null || { echo "the game ended by itself (see $log)" >&2; exit 1; }
    sample
    printf '%8d %10d %10d %10d\n' "$elapsed" "$rss" "$anon" "$pss"
    # The first minute is start-up (fonts, plugins, the first draw): growth counts from there.
    if [ "$elapsed" -eq 60 ]; then first_rss=$rss first_anon=$anon first_pss=$pss first_ticks=$ticks; fi
    [ "$elapsed" -lt "$end" ] || break
    sleep 30
    elapsed=$((elapsed + 30))
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  hz=$(getconf CLK_TCK)
  awk -v r0="$first_rss" -v r1="$rss" -v a0="$first_anon" -v a1="$anon" -v p0="$first_pss" -v p1="$pss" \
    -v t0="$first_ticks" -v t1="$ticks" -v s=$((end - 60)) -v hz="$hz" 'BEGIN {
      printf "From minute 1 to the end: RSS %+d KiB, anonymous %+d KiB (PSS %+d KiB); CPU %.2f %% of one core\n",
        r1 - r0, a1 - a0, p1 - p0, (t1 - t0) * 100 / hz / s
      # Allocator pages come and go; a leak of one allocation per tick (27000 ticks) would be MiBs.
      if (r1 - r0 > 512 || a1 - a0 > 512) { print "Memory GREW"; exit 1 }
      print "Memory did not grow"
    }'
  exit $?
fi

results=$work/results.txt
: >"$results"
round=0
while [ "$round" -le "$rounds" ]; do
  if [ $((round % 2)) -eq 0 ]; then order="game bare"; else order="bare game"; fi
  for which in $order; do
    if [ "$which" = game ]; then program=$game; else program=$bare; fi
    # The car button's centre: 436 pixels from the left, 490 above the bottom edge.
    line=$("$work/xprobe" --settle 1 --idle 10 --click 436 -490 -- "$program" 2>>"$log") ||
      { echo "xprobe failed on $which (see $log)" >&2; exit 1; }
    [ "$round" -eq 0 ] || echo "$which $line" >>"$results"
    printf '%s\n' "round $round $which: $line"
  done
  round=$((round + 1))
done

# The median of one key for one program.
median() {
  sed -n "s/^$1.* $2=\([^ ]*\).*/\1/p" "$results" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo
echo "Medians of $rounds rounds (game and bare window in the same run):"
awk -v gm="$(median game map_ms)" -v bm="$(median bare map_ms)" \
    -v gd="$(median game drawn_ms)" -v bd="$(median bare drawn_ms)" \
    -v gh="$(median game hwm_kib)" -v bh="$(median bare hwm_kib)" \
    -v gc="$(median game idle_cpu_pct)" -v bc="$(median bare idle_cpu_pct)" \
    -v gw="$(median game idle_wakeups)" -v bw="$(median bare idle_wakeups)" \
    -v gi="$(median game idle_damage)" -v bi="$(median bare idle_damage)" \
    -v gx="$(median game box_map_ms)" -v bx="$(median bare box_map_ms)" \
    -v gy="$(median game box_drawn_ms)" -v by="$(median bare box_drawn_ms)" 'BEGIN {
  printf "%-34s %10s %10s %10s   %s\n", "", "bare", "game", "game/bare", "budget"
  missed = 0
  verdict_start = (gm <= 1.5 * bm) ? "ok" : "MISSED"
  verdict_mem = (gh < 60 * 1024) ? "ok" : "MISSED"
  # CPU time is counted in ticks of 10 ms: 0.1 % over 10 s is one tick.
  verdict_cpu = (gc <= bc + 0.1) ? "ok" : "MISSED"
  # A stray wake-up or two (a thread of the toolkit) is noise, not a timer.
  verdict_wake = (gw <= bw + 2) ? "ok" : "MISSED"
  verdict_box = (gy >= 0 && gy < 50) ? "ok" : "MISSED"
  printf "%-34s %7.1f ms %7.1f ms %10.2f   <= 1.5x bare: %s\n", "launch -> window mapped", bm, gm, gm / bm, verdict_start
  printf "%-34s %7.1f ms %7.1f ms %10.2f\n", "launch -> window drawn", bd, gd, gd / bd
  printf "%-34s %6.1f MiB %6.1f MiB %10.2f   < 60 MiB: %s\n", "peak memory (VmHWM)", bh / 1024, gh / 1024, gh / bh, verdict_mem
  printf "%-34s %8.2f %% %8.2f %% %10s   no more than bare: %s\n", "idle CPU over 10 s", bc, gc, "", verdict_cpu
  printf "%-34s %10d %10d %10s   no more than bare: %s\n", "wake-ups while idle, 10 s", bw, gw, "", verdict_wake
  printf "%-34s %10d %10d\n", "drawings while idle (DAMAGE)", bi, gi
  printf "%-34s %7.1f ms %7.1f ms %10.2f\n", "click -> message box mapped", bx, gx, gx / bx
  printf "%-34s %7.1f ms %7.1f ms %10.2f   < 50 ms: %s\n", "click -> message box drawn", by, gy, gy / by, verdict_box
  missed = (verdict_start != "ok") + (verdict_mem != "ok") + (verdict_cpu != "ok") + (verdict_wake != "ok") \
    + (verdict_box != "ok")
  if (missed) { printf "%d budget(s) missed\n", missed; exit 1 }
  print "Every budget met"
}'
