#!/usr/bin/env bash
# Soak of the generator window (not run by CI): velmora, on the test X server, plays a
# repeating bi-directional logarithmic sweep at 384000 Hz, 24-bit stereo, for an hour (or
# $1 seconds) through ALSA's default device into the test PulseAudio null sink, while a
# busy loop occupies another core. Prints the resident memory, open files and threads of
# the program at the start and at the end, and saves a picture of the window's status line
# (the underrun count appears beside the sampling rate once there is one) to $2
# (default: soak-window.png in the build folder).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
velmora="$build/app/velmora"
seconds=${1:-3600}
picture=${2:-$build/soak-window.png}
[[ -x "$velmora" ]] || { echo "build velmora first ($velmora)" >&2; exit 1; }
command -v gdbus >/dev/null && command -v import >/dev/null ||
  { echo "needs gdbus (libglib2.0-bin) and import (imagemagick)" >&2; exit 1; }

busy_pid="" app_pid="" config=""
cleanup() {
  # Only what this script started itself: a bare wait would also wait for the services,
  # which never end on their own.
  # shellcheck disable=SC2086
  velmora_end_processes $busy_pid $app_pid
  [[ -n "$config" ]] && rm -rf "$config"
  velmora_services_stop
}
source "$root/tools/services.sh"
trap cleanup EXIT
velmora_services_start

source "$root/tools/soak_lib.sh"

# The output settings as stored values: 384000 Hz (list entry 9), 24 bits, 4 buffers of
# 65536 bytes. The signal is set through messages once the window is up.
config=$(mktemp -d)
velmora_guard_add dir "$config"
mkdir -p "$config/Karvell"
cat >"$config/Karvell/Velmora.conf" <<'EOF2'
Welcome = boolean true
Fs = integer 9
Quant = integer 1
Buffers = integer 2
BufferSize = integer 5
DisableSS = boolean true
txtCorrectionFactor = text "0"
cboCorrectionUnits = integer 0
txtPort = text "1193"
EOF2

XDG_CONFIG_HOME="$config" "$velmora" /nosplash >"$config/velmora.log" 2>&1 &
app_pid=$!
velmora_guard_add pid "$app_pid"
name="org.velmora.Generator.p$app_pid"
for _ in $(seq 100); do
  gdbus introspect --session --dest "$name" --object-path /Generator >/dev/null 2>&1 && break
  sleep 0.1
done
message() {
  gdbus call --session --dest "$name" --object-path /Generator \
    --method org.velmora.Generator.Message "$@" >/dev/null
}
# Stereo, both channels: a repeating 10 s bi-directional logarithmic sweep, 20 Hz - 20 kHz.
message 1038 3 0
for channel in 0 100; do
  message $((1030 + channel)) 1 0
  message $((1031 + channel)) 2000 0
  message $((1033 + channel)) 2000000 0
  message $((1036 + channel)) 1 0
  message $((1037 + channel)) 1 0
done
message 1034 100 0
message 1035 1 0
message 1024 0 0

soak_busy_core
velmora_guard_add pid "$busy_pid"

sleep 5
echo "start (after 5 s): $(soak_figures "$app_pid")"
sleep $((seconds > 10 ? seconds - 5 : 5))
echo "end (after $seconds s): $(soak_figures "$app_pid")"
import -window root -crop 640x640+0+0 "$picture"
echo "status line: $picture"
message 1025 0 0
