#!/usr/bin/env bash
# Builds Velmora with its tests (installing what is missing), starts the services the
# tests need (X server, session bus, PulseAudio null sink, PipeWire server) and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh" test
# VELMORA_SANITIZE=address,undefined or =thread builds a separate tree (VELMORA_BUILD_DIR)
# with those sanitizers; any report fails the test that made it.
config=()
if [[ -n "${VELMORA_SANITIZE:-}" ]]; then
  config=(-DVELMORA_SANITIZE="$VELMORA_SANITIZE" -DVELMORA_BUILD_BENCH=OFF)
  [[ -n "${VELMORA_DIRS:-}" ]] && config+=(-DVELMORA_DIRS="$VELMORA_DIRS" -DVELMORA_BUILD_GUI=OFF)
  export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tools/sanitizer.supp:print_suppressions=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
  export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tools/tsan.supp}
fi
bash "$root/tools/build.sh" "${config[@]}"
build=${VELMORA_BUILD_DIR:-$root/build}

source "$root/tools/services.sh"
trap velmora_services_stop EXIT
velmora_services_start

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
cd "$build"
ctest --output-on-failure --timeout 600 -j 2 "$@"
