#!/bin/sh
# Installs what is missing, builds Zefirana and runs every test, with no display needed.
#   1. build/       the normal build and every CTest test
#   2. build-asan/  the same build and tests with AddressSanitizer and UndefinedBehaviorSanitizer
#   3. build-fuzz/  the WAV reader's libFuzzer target (clang), 60 seconds from the game's cues
#   4. build-windows/  the game and its tests built for Windows, the tests run under Wine; the
#                      first run builds the static Qt for Windows (12 to 25 minutes on two cores)
#   5. dist/        the release (tools/release.sh) made twice and compared, the Debian source
#                   package built in a fresh root, checked by lintian, installed and played
# and, at the end, how many lines of code the tests have against the rest (tools/metrics/).
# Every stage runs even when an earlier one failed; the command fails when any stage failed.
set -u
cd "$(dirname "$0")"
here=$(pwd)
tools/setup/install-packages.sh test || exit 1

jobs=$(nproc)
summary=
failed=0
begun=$(date +%s)

# stage_done <title> <status> <start time>: prints the stage's result line and keeps it for the end.
stage_done() {
  seconds=$(($(date +%s) - $3))
  if [ "$2" -eq 0 ]; then result=passed; else result=FAILED; failed=1; fi
  line=$(printf '%-46s %-6s %3dm%02ds' "$1" "$result" $((seconds / 60)) $((seconds % 60)))
  echo
  echo "=== $line"
  echo
  summary="$summary$line
"
}

# 1. The normal build.
title="1. build and test (build/)"
echo "=== $title"
start=$(date +%s)
status=0
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
  cmake --build build -j"$jobs" || status=1
if [ "$status" -eq 0 ]; then
  (cd build && ctest --output-on-failure -j2) || status=1
fi
stage_done "$title" "$status" "$start"

# 2. Sanitizers: a memory error, undefined behaviour or a leak stops the test that met it
# (the program, the window tests and the end-to-end runs on Xvfb alike). Only leaks inside Qt's
# D-Bus library are suppressed (tests/lsan-suppressions.txt says why); Debian's Qt has no frame
# pointers, so allocations are traced by the slower unwinder, which sees through Qt's frames and
# names the library. strict_string_checks stays off:
# libxkbcommon hands strndup strings that are not NUL-terminated, which is allowed.
# LeakSanitizer cannot run under ptrace, so the test that watches the program through strace
# runs with leak detection off.
# intercept_tls_get_addr=0: the runtime of GCC 12 (and of LLVM up to 16) guesses where a
# thread's dynamic TLS block lies from the block's address: one that starts 16 bytes into a
# page is taken for an old glibc's block, and the two words before it (here the allocator's
# own chunk header) are read as its start and size. The leak check then scans that bogus range
# and its tracer dies of SIGSEGV ("Tracer caught signal 11"), after the test has passed. Where a
# block lands depends on the environment, so it struck the window test in a fresh Debian root and not
# on the host. Without the guess, dynamic TLS blocks are plain heap blocks that the check still
# reaches through the thread's DTV: no leak goes unseen.
title="2. sanitizers: ASan+UBSan (build-asan/)"
echo "=== $title"
start=$(date +%s)
status=0
asan="halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
asan="$asan:intercept_tls_get_addr=0"
ubsan="print_stacktrace=1:halt_on_error=1"
traced='^e2e_writes_nothing'
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEFIRANA_SANITIZE=ON >/dev/null &&
  cmake --build build-asan -j"$jobs" || status=1
if [ "$status" -eq 0 ]; then
  (cd build-asan &&
    ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:$asan" UBSAN_OPTIONS="$ubsan" \
      LSAN_OPTIONS="suppressions=$here/tests/lsan-suppressions.txt:print_suppressions=0" \
      ctest --output-on-failure -j2 -E "$traced") || status=1
  (cd build-asan &&
    ASAN_OPTIONS="detect_leaks=0:$asan" UBSAN_OPTIONS="$ubsan" \
      ctest --output-on-failure -j2 -R "$traced") || status=1
fi
stage_done "$title" "$status" "$start"

# 3. The WAV reader fuzzed for a minute, starting from the game's own cues (regione/) plus what
# earlier runs found (kept in build-fuzz/corpus). A crash, a failed check, a leak or an input
# that takes longer than 5 seconds fails the stage; the input is kept in build-fuzz/artifacts/.
title="3. fuzz the WAV reader, 60 s (build-fuzz/)"
echo "=== $title"
start=$(date +%s)
status=0
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DZEFIRANA_FUZZ=ON \
  >/dev/null && cmake --build build-fuzz -j"$jobs" --target fuzz_wavreader || status=1
if [ "$status" -eq 0 ]; then
  rm -rf build-fuzz/artifacts
  mkdir -p build-fuzz/corpus build-fuzz/artifacts
  # Names and lines in a crash report (llvm-14 ships the symbolizer under this name only).
  symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
  [ -x "$symbolizer" ] || symbolizer=$(command -v llvm-symbolizer || echo llvm-symbolizer)
  ASAN_SYMBOLIZER_PATH=$symbolizer UBSAN_OPTIONS="$ubsan" \
    build-fuzz/tests/sound/fuzz_wavreader -max_total_time=60 -timeout=5 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
    build-fuzz/corpus regione >build-fuzz/fuzz.log 2>&1 || status=1
  if [ "$status" -eq 0 ]; then
    grep -E '^(Done|stat::(new_units_added|slowest_unit_time_sec|peak_rss_mb))' build-fuzz/fuzz.log
  else
    tail -n 60 build-fuzz/fuzz.log
    echo "Inputs that failed: $(ls build-fuzz/artifacts); full log: build-fuzz/fuzz.log"
  fi
fi
stage_done "$title" "$status" "$start"

# 4. Windows: Zefirana.exe, its zip and its test programs cross-built with MinGW-w64 against a
# static Qt made once from Debian's source, then every test run under Wine on an X server, in a
# Wine prefix of the build's own.
title="4. Windows build, tests under Wine (build-windows/)"
echo "=== $title"
start=$(date +%s)
status=0
tools/setup/install-packages.sh windows && JOBS=$jobs tools/windows/build.sh --tests || status=1
if [ "$status" -eq 0 ]; then
  export WINEPREFIX="$here/build-windows/wine"
  # Made once, before the tests, which would otherwise race to make it.
  tools/windows/wine-run.sh wineboot --init >/dev/null 2>&1 && wineserver -w || status=1
  # An X server of this run's own: Xvfb takes a free display itself and writes its number once
  # it listens (xvfb-run -a could pick a display that another run is starting on).
  display_file=$(mktemp)
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1400x900x24 3>"$display_file" 2>/dev/null &
  xvfb=$!
  tries=0
  while [ ! -s "$display_file" ] && [ "$tries" -lt 200 ]; do sleep 0.1; tries=$((tries + 1)); done
  (cd build-windows && DISPLAY=":$(cat "$display_file")" ctest --output-on-failure -j2) || status=1
  kill "$xvfb"
  rm -f "$display_file"
  wineserver -k 2>/dev/null
  unset WINEPREFIX
fi
stage_done "$title" "$status" "$start"

# 5. The release command run twice, the second time from a clone in another folder, with another
# time zone and umask and at least a minute later: every file of dist/ the same bytes. The
# Debian source package built again by dpkg-buildpackage in a fresh Debian 12 root holding only
# its Build-Depends (made once by tools/setup/debian-root.sh) gives the same .deb; lintian finds no
# error and no warning on the .changes, the .dsc and the .debs it lists; the package check
# installs the .deb in a fresh root and plays, reinstalls, upgrades and removes it.
title="5. release: reproducible, source package, autopkgtest"
echo "=== $title"
start=$(date +%s)
status=0
other=$(mktemp -d)
logs=$here/build-release
mkdir -p "$logs"
tools/release.sh >"$logs/first.log" 2>&1 || { tail -n 30 "$logs/first.log"; status=1; }
if [ "$status" -eq 0 ]; then
  git clone -q "$here" "$other/zefirana" && git ls-files -z | xargs -0 cp --parents -t "$other/zefirana"
  elapsed=$(($(date +%s) - start))
  [ "$elapsed" -ge 60 ] || sleep $((60 - elapsed))
  # Without ccache: the second build compiles every file itself, so nothing of the first can hide
  # a difference.
  (umask 077 && cd "$other/zefirana" && TZ=Asia/Kathmandu CCACHE_DISABLE=1 tools/release.sh) >"$logs/second.log" 2>&1 ||
    { tail -n 30 "$logs/second.log"; status=1; }
  [ "$(ls dist)" = "$(ls "$other/zefirana/dist")" ] || { echo "FAIL: the two releases hold other files"; status=1; }
  for file in dist/*; do
    cmp "$file" "$other/zefirana/$file" || status=1
  done
  lintian --fail-on error,warning build-deb/zefirana_*.changes || status=1
  root=$other/root
  mkdir "$root" && tar -xf "$(tools/setup/debian-root.sh build)" -C "$root" &&
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) tools/setup/debian-root.sh enter "$root" "$here/dist" \
      'cd /tmp && dpkg-source -x /src/zefirana_*.dsc zefirana && cd zefirana && dpkg-buildpackage -us -uc -b' \
      >"$logs/fresh-root.log" 2>&1 || { tail -n 30 "$logs/fresh-root.log"; status=1; }
  cmp "$root"/tmp/zefirana_*.deb dist/zefirana_*.deb || { echo "FAIL: the fresh root built another .deb"; status=1; }
  sh tests/app/check-install.sh dist/zefirana_*.deb "$here" || status=1
fi
rm -rf "$other"
stage_done "$title" "$status" "$start"

seconds=$(($(date +%s) - begun))
echo "=== Summary ($((seconds / 60))m$(printf '%02d' $((seconds % 60)))s in all)"
printf '%s' "$summary"
echo "=== Size of the tests against the rest of the code"
python3 tools/metrics/count-lines.py
if [ "$failed" -ne 0 ]; then
  echo "=== Some stages FAILED"
  exit 1
fi
echo "=== Every stage passed"
