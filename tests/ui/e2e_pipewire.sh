#!/usr/bin/env bash
# End to end through PipeWire: starts velmora on the test X server with the test PipeWire
# server and no ALSA configuration at all, presses F11 and F9 as a user would, and checks
# the title, the stream's node and the tone that reached the server's null sink.
#   e2e_pipewire.sh <velmora executable>
# Needs what tools/test.sh starts (DISPLAY, VELMORA_PIPEWIRE_RUNTIME); skips (77) without.
set -euo pipefail
velmora=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tools/pipewire_server.sh"
runtime=${VELMORA_PIPEWIRE_RUNTIME:-}
if [[ -z "${DISPLAY:-}" || -z "$runtime" || ! -S "$runtime/pipewire-0" ]]; then
  echo "skipped: no X server or PipeWire test server (run through tools/test.sh)"
  exit 77
fi
for tool in pw-record pw-dump pw-link python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done

work=$(mktemp -d)
app_pid="" rec_pid=""
cleanup() {
  [[ -n "$rec_pid" ]] && kill -INT "$rec_pid" 2>/dev/null || true
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
pw=(env -u PULSE_SERVER PIPEWIRE_RUNTIME_DIR="$runtime" ALSA_CONFIG_PATH=/dev/null)

# The welcome question would wait for a click.
mkdir -p "$work/config/Karvell"
echo 'Welcome = boolean true' >"$work/config/Karvell/Velmora.conf"

# Periods as long as the window's stream asks for (a buffer, 4096 frames at 44100 Hz): the
# server's period stays as it is when the window comes in.
"${pw[@]}" pw-record --target "$VELMORA_PIPEWIRE_SINK" -P '{ stream.capture.sink = true }' \
  --latency 4096 --rate 48000 --channels 2 --format s16 "$work/capture.wav" &
rec_pid=$!
for _ in $(seq 1 100); do
  [[ $("${pw[@]}" pw-link -l 2>/dev/null) == *pw-record:input_FR* ]] && break
  sleep 0.05
done

"${pw[@]}" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$velmora" /nosplash >"$work/velmora.log" 2>&1 &
app_pid=$!

# The user: waits for the window, presses F11, listens, presses F9; meanwhile the stream is
# looked up in the server's graph. Xlib and XTest through ctypes.
status=0
PYTHONPATH="$(dirname "$0")" python3 - "$work/node.json" "$runtime" <<'PY' || status=$?
import json, os, subprocess, sys, time
from x_user import XK_F9, XK_F11, focused_window, press, title, wait_title

w = focused_window()

press(XK_F11)
if not wait_title(w, "ON - Velmora"):
    print("F11: the title did not become 'ON - Velmora' (it is %r)" % title(w)); sys.exit(1)
env = dict(os.environ, PIPEWIRE_RUNTIME_DIR=sys.argv[2])
node = None
end = time.time() + 5
while node is None and time.time() < end:
    dump = json.loads(subprocess.run(["pw-dump"], env=env, capture_output=True, text=True, timeout=5).stdout)
    for o in dump:
        props = o.get("info", {}).get("props", {}) if o.get("type") == "PipeWire:Interface:Node" else {}
        if props.get("node.name") == "Velmora":
            node = props
    time.sleep(0.1)
if node is None:
    print("no node named Velmora while the window played"); sys.exit(1)
print("node: %s, %s, role %s" % (node.get("node.name"), node.get("application.name"), node.get("media.role")))
time.sleep(1.5)
press(XK_F9)
if not wait_title(w, "Velmora"):
    print("F9: the title did not return to 'Velmora' (it is %r)" % title(w)); sys.exit(1)
time.sleep(0.3)
PY
kill -INT "$rec_pid"; wait "$rec_pid" || true; rec_pid=""
if [[ $status -eq 0 ]]; then
  python3 - "$work/capture.wav" <<'PY' || status=$?
import struct, sys, wave
with wave.open(sys.argv[1]) as f:
    data = f.readframes(f.getnframes())
left = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])[0::2]
# A first start plays the reset's signal: a 1000 Hz sine at full scale (44100 Hz, which the
# server converts to its 48000 Hz).
loud = [i for i, s in enumerate(left) if abs(s) > 16000]
if not loud:
    print("no sound reached the sink"); sys.exit(1)
part = left[loud[0]: loud[-1]]
heard = len(part) / 48000
crossings = sum(1 for a, b in zip(part, part[1:]) if (a < 0) != (b < 0))
frequency = crossings / 2 / heard
print("heard %.1f Hz for %.2f s, peak %d" % (frequency, heard, max(abs(s) for s in part)))
if heard < 1.2:
    print("the tone was heard for less than the 1.5 s the window played"); sys.exit(1)
if abs(frequency - 1000) > 5:
    print("the tone is not the 1000 Hz of a first start"); sys.exit(1)
PY
fi
if [[ $status -ne 0 ]]; then
  echo "--- velmora's output:"; cat "$work/velmora.log"
  exit "$status"
fi
echo "ok"
