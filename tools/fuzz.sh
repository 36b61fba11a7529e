#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a bounded time with a
# fixed seed, starting from the committed corpus (the reader's also from the example meshes).
# Usage: tools/fuzz.sh [seconds per target]   (build folder: ${ZEL_BUILD_PREFIX:-build}-fuzz)
# A crash, leak, timeout or sanitizer report fails the run; its input is left in the build folder,
# to be fixed and then added to tests/fuzz/corpus/<target> as a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
build="${ZEL_BUILD_PREFIX:-build}-fuzz"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DZEL_FUZZ=ON -DZEL_TESTS=OFF -DZEL_BENCH=OFF -DZEL_CONVERT=ON >/dev/null
cmake --build "$build" --target reader_fuzzer camera_path_fuzzer mesh_file_fuzzer

export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run() {
  local target="$1"
  shift
  # New inputs go to a scratch folder so the committed corpus only changes by hand; it starts
  # empty each time, so a run with the same seed and time explores the same way.
  local scratch="$build/corpus-$target"
  rm -rf "$scratch"
  mkdir -p "$scratch"
  local corpus=()
  for dir in "$@"; do
    corpus+=("$PWD/$dir")
  done
  echo "== $target: ${seconds}s =="
  (cd "$build" && "bin/$target" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 "corpus-$target" "${corpus[@]}")
}

run reader_fuzzer tests/fuzz/corpus/reader examples
run camera_path_fuzzer tests/fuzz/corpus/camera_path
run mesh_file_fuzzer tests/fuzz/corpus/mesh_file
