#!/usr/bin/env bash
# Configures and builds the project into build/ (or $VELMORA_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
if [[ ! -f "$build/build.ninja" ]]; then
  launcher=()
  # A compiler cache, where one is installed, makes rebuilds of other checkouts cheap.
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
fi
cmake --build "$build" -j "$(nproc)"
