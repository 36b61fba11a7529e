#!/usr/bin/env bash
# Opens a mesh in zelviewer: a bundled example without an argument, or any file the viewer reads
# (ZEL, OFF, PLY, OBJ, STL, glTF, ...). Installs and builds only what the viewer needs, in
# ${ZEL_BUILD_PREFIX:-build}, the folder the test command uses. With ZEL_RUN_SECONDS=N the
# viewer is closed after N seconds, for a try on a virtual display nobody can close it on.
set -euo pipefail

if [ -z "${DISPLAY:-}" ]; then
  echo "No DISPLAY is set: zelviewer needs an X display. For a headless try that ends by itself:" >&2
  echo "  ZEL_RUN_SECONDS=10 xvfb-run -a tools/run.sh" >&2
  exit 1
fi
viewer_limit=()
if [ -n "${ZEL_RUN_SECONDS:-}" ]; then
  viewer_limit=(timeout "$ZEL_RUN_SECONDS")
fi

mesh="${1:-examples/torus.zel}"
# a relative path names a file from where the command was given, not from the checkout
if [ $# -gt 0 ] && [ "${mesh#/}" = "$mesh" ]; then
  mesh="$PWD/$mesh"
fi
cd "$(dirname "$0")/.."
build="${ZEL_BUILD_PREFIX:-build}"

tools/install-deps.sh run
# A new folder leaves the tests off (their packages are not installed here); an existing one keeps
# its settings, so the run and test commands never rebuild each other.
settings=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++)
if [ ! -f "$build/CMakeCache.txt" ]; then
  settings+=(-DZEL_TESTS=OFF -DZEL_BENCH=OFF)
fi
cmake -S . -B "$build" -G Ninja "${settings[@]}" >/dev/null

cmake --build "$build" --target zelviewer
exec "${viewer_limit[@]}" "$build/bin/zelviewer" -file "$mesh"
