#!/usr/bin/env bash
# Builds zelviewer and opens it on a bundled example mesh (or on the mesh given as argument).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
# The same folder and settings as the test command, so the two never rebuild each other.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build --target zelviewer

mesh="${1:-examples/torus.zel}"
if [ -z "${DISPLAY:-}" ]; then
  echo "No DISPLAY is set: zelviewer needs an X display (for a headless try: xvfb-run tools/run.sh)." >&2
  exit 1
fi
exec build/bin/zelviewer -file "$mesh"
