#!/usr/bin/env bash
# Playing through a PipeWire server, against playing through ALSA's plug-in to the same
# server, in one run under a private X server and the test PipeWire server (with its
# PulseAudio service, which ALSA's pulse plug-in reaches):
# - start to first frame at the sink at the default and the smallest buffer settings
#   (medians of RUNS starts, 9);
# - the generator window playing a 48000 Hz stereo sine for SECONDS (30): its process CPU
#   time as a share of one core, natively through PipeWire and then through ALSA's plug-in.
#
#   bench/pipewire_output.sh [BUILD_DIR] [SECONDS] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-30}
runs=${3:-9}
for program in output_latency window_cpu; do
  [[ -x "$build/bench/$program" ]] || { echo "missing: $build/bench/$program" >&2; exit 2; }
done
command -v pipewire-pulse >/dev/null || { echo "missing: pipewire-pulse" >&2; exit 2; }
source "$root/tools/services.sh"
velmora_services_start
trap velmora_services_stop EXIT
[[ -n "${VELMORA_PIPEWIRE_RUNTIME:-}" ]] || { echo "the PipeWire server did not start" >&2; exit 1; }
velmora_pipewire_also pipewire-pulse
for _ in $(seq 1 100); do
  [[ -S "$VELMORA_PIPEWIRE_RUNTIME/pulse/native" ]] && break
  sleep 0.05
done
native=(env -u PULSE_SERVER PIPEWIRE_RUNTIME_DIR="$VELMORA_PIPEWIRE_RUNTIME")
plugin=(env PULSE_SERVER="unix:$VELMORA_PIPEWIRE_RUNTIME/pulse/native")
"${native[@]}" "$build/bench/output_latency" "$runs"
"${native[@]}" "$build/bench/window_cpu" "$seconds"
"${plugin[@]}" "$build/bench/window_cpu" --alsa "$seconds"
