#!/bin/sh
# Installs what is missing, builds Zefirana and starts the game.
set -eu
cd "$(dirname "$0")"
tools/setup/install-packages.sh play
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zefirana
exec build/app/Zefirana
