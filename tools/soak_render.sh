#!/usr/bin/env bash
# Soak of live output (not run by CI): velmora-render plays a repeating bi-directional
# logarithmic sweep at 384000 Hz, 24-bit stereo, for an hour (or $1 seconds) through ALSA's
# default device into the test PulseAudio null sink, while a busy loop occupies another
# core. Prints the underruns, and the resident memory, open files and threads of the
# renderer at the start and at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
render="$build/app/velmora-render"
seconds=${1:-3600}
[[ -x "$render" ]] || { echo "build velmora-render first ($render)" >&2; exit 1; }

busy_pid="" play_pid=""
cleanup() {
  # shellcheck disable=SC2086
  velmora_end_processes $busy_pid $play_pid
  if [[ -n "${started_services:-}" ]]; then velmora_services_stop; fi
  [[ -n "${log:-}" ]] && rm -f "$log"
log=""
  velmora_guard_stop
}
trap cleanup EXIT
source "$root/tools/services.sh"
velmora_guard_start
if [[ -z "${PULSE_SERVER:-}" ]] || ! pactl info >/dev/null 2>&1; then
  started_services=1 # from here on: a Ctrl+C during the start stops what has started
  velmora_services_start
fi

source "$root/tools/soak_lib.sh"

soak_busy_core
velmora_guard_add pid "$busy_pid"

log=$(mktemp)
"$render" --play SamplingRate=384000 Quantisation=24 cboChannels=1 chkAsLeft=1 chkConstantLeft=0 \
  fInitLeft=20 fFinalLeft=20000 LogarithmicLeft=1 BidirectionalLeft=1 Loop=1 Duration=10 \
  BufferSize=65536 2>"$log" &
play_pid=$!
velmora_guard_add pid "$play_pid"
velmora_guard_add dir "$log"
sleep 5
echo "start (after 5 s): $(soak_figures "$play_pid")"
sleep $((seconds > 10 ? seconds - 5 : 5))
echo "end (after $seconds s): $(soak_figures "$play_pid")"
kill -INT "$play_pid"
status=0; wait "$play_pid" || status=$?
play_pid=""
echo "exit status $status; stderr: $(tr '\n' ' ' <"$log")"
grep -q underrun "$log" || echo "no underruns"
rm -f "$log"
log=""
