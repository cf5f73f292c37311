#!/usr/bin/env bash
# Soak of the ALSA output path (not run by CI): plays 384000 Hz 24-bit stereo for 60 s
# (or $1 seconds) through ALSA's default device into the test PulseAudio null sink while a
# busy loop occupies the other core, then 48000 Hz 16-bit stereo for the cost of an
# ordinary stream. Prints the underruns, the process CPU time and the start-up figures of
# each run. Needs audio_tone_player built in build/ (or $VELMORA_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
player="$build/tests/audio/audio_tone_player"
seconds=${1:-60}
[[ -x "$player" ]] || { echo "build audio_tone_player first ($player)" >&2; exit 1; }

busy_pid=""
cleanup() {
  # shellcheck disable=SC2086
  velmora_end_processes $busy_pid
  if [[ -n "${started_services:-}" ]]; then velmora_services_stop; fi
  velmora_guard_stop
}
trap cleanup EXIT
source "$root/tools/services.sh"
velmora_guard_start

if [[ -z "${PULSE_SERVER:-}" ]] || ! pactl info >/dev/null 2>&1; then
  started_services=1 # from here on: a Ctrl+C during the start stops what has started
  velmora_services_start
fi

player_cpu=0
source "$root/tools/soak_lib.sh"
soak_busy_core
velmora_guard_add pid "$busy_pid"

echo "== 384000 Hz, 24-bit stereo, 4 x 65536-byte buffers, ${seconds} s, core $other_cpu busy"
taskset -c "$player_cpu" "$player" --rate 384000 --bits 24 --channels 2 --seconds "$seconds" \
  --buffer 65536 --buffers 4 --stats

kill "$busy_pid"; wait "$busy_pid" 2>/dev/null || true; busy_pid=""

echo "== 48000 Hz, 16-bit stereo, 4 x 8192-byte buffers, 20 s, sine computed inline"
"$player" --rate 48000 --bits 16 --channels 2 --seconds 20 --stats
echo "== the same without computing samples (engine and device only)"
"$player" --rate 48000 --bits 16 --channels 2 --seconds 20 --silence --stats
