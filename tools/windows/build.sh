#!/bin/sh
# Builds Zefirana for 64-bit Windows here, from the same source as on Linux, and packs it the three
# ways a school installs it:
#   tools/windows/build.sh           makes, in build-windows/, Zefirana-win64.zip (unpacked anywhere),
#                                    Zefirana-2.00-setup.exe (the setup program) and Zefirana-2.00.msi
#   tools/windows/build.sh --tests   the same, and the test programs (test.sh runs them under Wine)
# The static Qt it links is built first when the cache lacks it (tools/windows/build-qt.sh: 12 to
# 25 minutes on two cores, once). JOBS sets how many compilers run at once.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
tests=OFF
[ "${1:-}" = --tests ] && tests=ON
jobs=${JOBS:-$(nproc)}
build=$here/build-windows

qt=$(JOBS=$jobs "$here/tools/windows/build-qt.sh" | tail -n 1)
began=$(date +%s)
# Another Qt (another version or configuration) needs a fresh cache of the build.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qx "CMAKE_PREFIX_PATH:[A-Z]*=$qt" "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/tools/windows/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$here/tools/windows/wine-run.sh" -DZEFIRANA_TESTS=$tests >/dev/null
cmake --build "$build" -j"$jobs"
seconds=$(($(date +%s) - began))
echo "Built in ${seconds}s, in $build:"
for package in Zefirana-win64.zip Zefirana-2.00-setup.exe Zefirana-2.00.msi; do
  echo "  $package ($(du -k "$build/$package" | cut -f1) KiB)"
done
