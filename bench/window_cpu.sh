#!/usr/bin/env bash
# The waveform display's processor cost: the generator window playing a stereo sine for
# SECONDS (30) without and then with the scope, under a private X server and PulseAudio null
# sink, each run's process CPU time as a share of one core. Two settings: 48000 Hz at
# 100 ms/div with 4 buffers of 2048 bytes (many fills, a long screen), and 384000 Hz at
# 100 ms/div with the default 4 x 8192 bytes (the most samples a picture).
#
#   bench/window_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-30}
program="$build/bench/window_cpu"
[[ -x "$program" ]] || { echo "missing: $program (build with the window)" >&2; exit 2; }
source "$root/tools/services.sh"
trap velmora_services_stop EXIT
velmora_services_start
for setting in "--rate 48000 --buffers 4 --buffer-size 2048" "--rate 384000 --buffers 4 --buffer-size 8192"; do
  # shellcheck disable=SC2086
  "$program" $setting "$seconds"
  # shellcheck disable=SC2086
  "$program" --scope $setting "$seconds"
done
