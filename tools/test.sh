#!/usr/bin/env bash
# Builds Velmora with its tests (installing what is missing), starts the services the
# tests need (X server, session bus, PulseAudio null sink) and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh" test
bash "$root/tools/build.sh"
build=${VELMORA_BUILD_DIR:-$root/build}

source "$root/tools/services.sh"
trap velmora_services_stop EXIT
velmora_services_start

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
cd "$build"
ctest --output-on-failure --timeout 600 -j 2 "$@"
