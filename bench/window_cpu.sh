#!/usr/bin/env bash
# The waveform display's processor cost: the generator window playing a 48000 Hz stereo sine
# for SECONDS (30) without and then with the scope at 100 ms/div, under a private X server
# and PulseAudio null sink, each run's process CPU time as a share of one core.
#
#   bench/window_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-30}
program="$build/bench/window_cpu"
[[ -x "$program" ]] || { echo "missing: $program (build with the window)" >&2; exit 2; }
source "$root/tools/services.sh"
velmora_services_start
trap velmora_services_stop EXIT
"$program" "$seconds"
"$program" --scope "$seconds"
