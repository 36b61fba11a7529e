#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (from a fresh clone: 10 minutes
# on two idle cores, longer on busy ones):
#  1. g++ build: unit tests, the installed programs, gl and e2e tests (gl and e2e under a
#     virtual X server);
#  2. valgrind memcheck over the GL-free (unit) test programs of that build;
#  3. clang build with AddressSanitizer + UndefinedBehaviorSanitizer: the whole suite again, the
#     real program under Xvfb included;
#  4. the three fuzz targets for 30 seconds each with a fixed seed (tools/fuzz.sh).
# Build folders are named from ZEL_BUILD_PREFIX (default "build": build, build-sanitize,
# build-fuzz), so a second checkout or a colleague can run this without touching yours.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

jobs=$(nproc)
prefix="${ZEL_BUILD_PREFIX:-build}"
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")

echo "== g++ build =="
cmake -S . -B "$prefix" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
  -DZEL_TESTS=ON -DZEL_BENCH=ON -DZEL_IMPORTER=ON -DZEL_CONVERT=ON -DZEL_CHECK=ON >/dev/null
cmake --build "$prefix" -j "$jobs"
ctest --test-dir "$prefix" --output-on-failure -j "$jobs" -L unit
# Installs the build into a temporary prefix and runs each installed program once.
ctest --test-dir "$prefix" --output-on-failure -L install
# One test at a time on the display: windows of parallel tests would overlap, and pixels read
# back from a covered part of a window are undefined.
"${xvfb[@]}" ctest --test-dir "$prefix" --output-on-failure -L 'gl|e2e'

echo "== valgrind memcheck: unit tests =="
mapfile -t unit_programs < <(ctest --test-dir "$prefix" -L unit --show-only=json-v1 | tr -d '\n' |
  grep -o '"command" *: *\[ *"[^"]*"' | sed 's/.*"\([^"]*\)"$/\1/' | sort -u)
for program in "${unit_programs[@]}"; do
  echo "-- $(basename "$program")"
  # Each program runs whole, once; any memory error or definite leak fails the step.
  valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    "$program" --gtest_brief=1 >/dev/null
done

echo "== clang build with AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S . -B "$prefix-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DZEL_SANITIZE=ON -DZEL_BENCH=OFF >/dev/null
cmake --build "$prefix-sanitize" -j "$jobs"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1
ctest --test-dir "$prefix-sanitize" --output-on-failure -j "$jobs" -L unit
"${xvfb[@]}" ctest --test-dir "$prefix-sanitize" --output-on-failure -L gl
# The programs the e2e tests start end through exit, after which the GL driver unloads before
# the exit-time leak check can name its allocations, and that check then ends the program before
# stdio writes out the open files. Leaks are covered by the runs above and the fuzzers.
ASAN_OPTIONS=detect_leaks=0 "${xvfb[@]}" \
  ctest --test-dir "$prefix-sanitize" --output-on-failure -L e2e

echo "== fuzzing =="
ZEL_BUILD_PREFIX="$prefix" tools/fuzz.sh 30
