#!/usr/bin/env bash
# Builds the program, writes the demo data set and starts the game.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVARUN_TESTS=OFF >/dev/null
# Only what a player needs: the game and the demo data writer (test.sh builds the rest).
cmake --build build/release --target kelvarun make_demo_data
# The data is written again when it is missing or an older generator wrote it.
data=build/release/data
if [ -x build/release/make_demo_data ]; then
  want="$(build/release/make_demo_data --version)"
  have="$(cat "$data/generator_version" 2>/dev/null || true)"
  if [ "$have" != "$want" ]; then
    rm -rf "$data"
    build/release/make_demo_data "$data"
  fi
fi
exec build/release/kelvarun "$@"
