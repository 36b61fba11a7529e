#!/usr/bin/env bash
# Installs the Debian packages the project needs, when missing:
#   tools/install-deps.sh        everything: build, tests, fuzzing, benchmarks;
#   tools/install-deps.sh run    only what building and running zelviewer and zelconvert need.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build
  freeglut3-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
  libassimp-dev
)
packages=("${run_packages[@]}"
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick libx11-dev
  valgrind
  python3 time f3d linux-perf
)
if [ "${1:-}" = run ]; then
  packages=("${run_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  # wait for another apt or unattended upgrade to finish instead of failing at once
  lock=(-o DPkg::Lock::Timeout=300)
  "${sudo_cmd[@]}" apt-get "${lock[@]}" update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get "${lock[@]}" install -y \
    "${missing[@]}"
fi
