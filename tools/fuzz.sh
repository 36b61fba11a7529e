#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a bounded time with a
# fixed seed, starting from the committed corpus. Usage: tools/fuzz.sh [seconds per target]
# A crash, leak, timeout or sanitizer report fails the run; its input is left in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DZEL_FUZZ=ON -DZEL_TESTS=OFF -DZEL_BENCH=OFF -DZEL_CONVERT=OFF >/dev/null
cmake --build build-fuzz --target reader_fuzzer camera_path_fuzzer

export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run() {
  local target="$1" corpus="$2"
  # New inputs go to a scratch folder so the committed corpus only changes by hand.
  local scratch="build-fuzz/corpus-$target"
  mkdir -p "$scratch"
  echo "== $target: ${seconds}s =="
  (cd build-fuzz && "bin/$target" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 "../$scratch" "../$corpus")
}

run reader_fuzzer tests/fuzz/corpus/reader
run camera_path_fuzzer tests/fuzz/corpus/camera_path
