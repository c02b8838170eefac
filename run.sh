#!/usr/bin/env bash
# Builds the program, writes the demo data set and starts the game.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVARUN_TESTS=OFF >/dev/null
cmake --build build/release
if [ -x build/release/make_demo_data ] && [ ! -d build/release/data ]; then
  build/release/make_demo_data build/release/data
fi
exec build/release/kelvarun "$@"
