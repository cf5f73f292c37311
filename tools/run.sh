#!/usr/bin/env bash
# Builds Velmora (installing what is missing) and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
bash "$root/tools/build.sh"
build=${VELMORA_BUILD_DIR:-$root/build}
if [[ -x "$build/app/velmora" ]]; then
  if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "velmora: no display here; use $build/app/velmora-render to render or play signals without one." >&2
    exec "$build/app/velmora-render" --help
  fi
  exec "$build/app/velmora" "$@"
fi
exec "$build/app/velmora-render" --help
