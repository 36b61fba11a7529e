#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  1. g++ build: unit, gl and e2e tests (gl and e2e under a virtual X server);
#  2. clang build with AddressSanitizer + UndefinedBehaviorSanitizer: unit and gl tests.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

jobs=$(nproc)
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")

echo "== g++ build =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build -j "$jobs"
"${xvfb[@]}" ctest --test-dir build --output-on-failure -j "$jobs"

echo "== clang build with AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DZEL_SANITIZE=ON -DZEL_BENCH=OFF -DZEL_CONVERT=OFF >/dev/null
cmake --build build-sanitize -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"${xvfb[@]}" ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -L 'unit|gl'
