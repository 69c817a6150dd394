#!/bin/sh
# Installs what is missing, builds Zefirana and runs every test, with no display needed.
set -eu
cd "$(dirname "$0")"
tools/setup/install-packages.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j2
