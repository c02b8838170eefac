#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs all tests. The input manager's thread tests also run under
# ThreadSanitizer, in a small build of their own.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARUN_BENCH=OFF \
  -DKELVARUN_THREAD_TESTS=ON -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build build/tsan --target test_input_threads park_digest
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/test_input_threads --gtest_brief=1

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVARUN_SANITIZE=ON -DKELVARUN_WERROR=ON >/dev/null
cmake --build build/asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# use_tls=0: see tests/lsan.supp.
export LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp":print_suppressions=0:use_tls=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
ctest --test-dir build/asan --output-on-failure -j "$(nproc)" "$@"

# A seed must give the same park on every build: the optimised build and the debug build run the
# demo park for two park days and must print the same digest.
digest_dir="$(mktemp -d)"
trap 'rm -rf "$digest_dir"' EXIT
(cd "$digest_dir" && TSAN_OPTIONS=halt_on_error=1 "$OLDPWD/build/tsan/park_digest" 7 2 >optimised.txt 2>/dev/null)
(cd "$digest_dir" && "$OLDPWD/build/asan/park_digest" 7 2 >debug.txt 2>/dev/null)
if ! cmp -s "$digest_dir/optimised.txt" "$digest_dir/debug.txt"; then
  echo "park_digest: the optimised and debug builds ran the same seed into different parks" >&2
  diff "$digest_dir/optimised.txt" "$digest_dir/debug.txt" >&2 || true
  exit 1
fi
echo "park_digest: the optimised and debug builds agree on the seeded park"
