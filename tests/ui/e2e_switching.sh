#!/usr/bin/env bash
# End to end: starts velmora on the test X server, presses F11 and F9 as a user would, and
# checks the title and the sound that reached the PulseAudio null sink.
#   e2e_switching.sh <velmora executable> [spoilt-store]
# With "spoilt-store" the start finds a store (written by a first run's Exit) whose left
# frequency is the text "abc": the window must start at the reset's values without a box,
# say which value on stderr, play the reset's 1000 Hz, and write good values at its Exit.
# Needs what tools/test.sh starts (DISPLAY, PULSE_SERVER, VELMORA_TEST_SINK); skips (77)
# without them.
set -euo pipefail
velmora=$1
mode=${2:-}
if [[ -z "${DISPLAY:-}" || -z "${PULSE_SERVER:-}" || -z "${VELMORA_TEST_SINK:-}" ]]; then
  echo "skipped: no X server or PulseAudio null sink (run through tools/test.sh)"
  exit 77
fi
for tool in parec pactl python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done

work=$(mktemp -d)
# A guard ends what this script started and removes its folder when the script is
# killed outright (a CTest time-out).
source "$(cd "$(dirname "$0")/../.." && pwd)/tools/services.sh"
velmora_guard_start
velmora_guard_add dir "$work"
app_pid="" rec_pid="" module="" awake_pid=""
source "$(dirname "$0")/../../tools/private_bus.sh"
cleanup() {
  velmora_private_bus_stop
  # shellcheck disable=SC2086
  velmora_end_processes $rec_pid $awake_pid $app_pid
  [[ -n "$module" ]] && pactl unload-module "$module" 2>/dev/null || true
  rm -rf "$work"
  velmora_guard_stop
}
trap cleanup EXIT
# A session bus of the test's own: no other test's generator hears this one.
velmora_private_bus_start "$work" || { echo "cannot start a session bus"; exit 1; }

# A null sink of this test's own, so that other tests playing at the same time are not heard.
sink="velmora_e2e_$$"
module=$(pactl load-module module-null-sink "sink_name=$sink" rate=48000) || {
  echo "skipped: cannot add a null sink"; exit 77; }

# A null sink with no stream sleeps in blocks of about 2 s, and a stream that starts then
# loses its first frames: a silent stream keeps it awake at a short latency, as the test
# services do for theirs.
pacat --playback --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 \
  -d "$sink" /dev/zero >/dev/null 2>&1 &
awake_pid=$!
velmora_guard_add pid "$awake_pid"
sleep 2.2

# The welcome question would wait for a click.
mkdir -p "$work/config/Karvell"
echo 'Welcome = boolean true' >"$work/config/Karvell/Velmora.conf"

store="$work/config/Karvell/Velmora.conf"
if [[ "$mode" == spoilt-store ]]; then
  # A first run that the user ends with Exit (Ctrl+X) writes the whole store.
  XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$velmora" /nosplash >"$work/first.log" 2>&1 &
  app_pid=$!
  PYTHONPATH="$(dirname "$0")" python3 - <<'PY'
from x_user import XK_CONTROL_L, XK_X, focused_window, press
focused_window()
press(XK_CONTROL_L, XK_X)
PY
  for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then echo "the first run did not end at Exit"; exit 1; fi
  app_pid=""
  grep -q '^fInitLeft = ' "$store" || { echo "the first run wrote no store"; cat "$store"; exit 1; }
  # Spoilt by hand; the other values say stereo and a phase the reset must not keep.
  sed -i -e 's/^fInitLeft = .*/fInitLeft = text "abc"/' -e 's/^mono = .*/mono = boolean false/' \
    -e 's/^PhaseEdit = .*/PhaseEdit = text "90"/' "$store"
fi

PULSE_SINK="$sink" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$velmora" /nosplash >"$work/velmora.log" 2>&1 &
app_pid=$!
velmora_guard_add pid "$app_pid"

parec -d "$sink.monitor" --format=s16le --rate=48000 --channels=1 --raw --latency-msec=500 >"$work/capture.raw" &
rec_pid=$!
velmora_guard_add pid "$rec_pid"

# The user: waits for the window, presses F11, listens, presses F9. Uses Xlib and XTest
# through ctypes (x_user.py).
status=0
PYTHONPATH="$(dirname "$0")" python3 - "$work/capture.raw" "$mode" <<'PY' || status=$?
import struct, sys, time
from x_user import XK_CONTROL_L, XK_F9, XK_F11, XK_X, focused_window, press, title, wait_title

w = focused_window()

capture = sys.argv[1]
before = len(open(capture, "rb").read())
press(XK_F11)
if not wait_title(w, "ON - Velmora"):
    print("F11: the title did not become 'ON - Velmora' (it is %r)" % title(w)); sys.exit(1)
on_at = time.time()
time.sleep(1.5)
off_at = time.time()
press(XK_F9)
if not wait_title(w, "Velmora"):
    print("F9: the title did not return to 'Velmora' (it is %r)" % title(w)); sys.exit(1)
time.sleep(0.3)

data = open(capture, "rb").read()[before:]
samples = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])
# The loud part: a first start has the reset's signal, a 1000 Hz sine at full scale.
loud = [i for i, s in enumerate(samples) if abs(s) > 16000]
if not loud:
    print("no sound reached the sink"); sys.exit(1)
part = samples[loud[0]: loud[-1]]
# The whole time the window was on is heard, less what was still on its way to the sink
# when F9 dropped it (ALSA's buffer and the sink's latency, well under 0.25 s).
on_for = off_at - on_at
heard = len(part) / 48000
if heard < on_for - 0.25:
    print("heard %.3f s of the %.3f s the window was on" % (heard, on_for)); sys.exit(1)
# No dropout inside: every 10 ms of the tone (two periods of 100 Hz) reaches full level.
for start in range(0, len(part) - 480, 480):
    if max(abs(s) for s in part[start:start + 480]) < 30000:
        print("a dropout at %.3f s" % (start / 48000)); sys.exit(1)
crossings = sum(1 for a, b in zip(part, part[1:]) if (a < 0) != (b < 0))
frequency = crossings / 2 / (len(part) / 48000)
print("heard %.1f Hz for %.2f s, peak %d" % (frequency, len(part) / 48000, max(abs(s) for s in part)))
if abs(frequency - 1000) > 5:
    print("the tone is not the 1000 Hz of a first start"); sys.exit(1)
if len(sys.argv) > 2 and sys.argv[2] == "spoilt-store":
    # Exit (Ctrl+X): the store is written.
    press(XK_CONTROL_L, XK_X)
PY
if [[ $status -eq 0 && "$mode" == spoilt-store ]]; then
  for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then echo "velmora did not end at Exit"; status=1; fi
  app_pid=""
  # One line names the value; the next close wrote good values.
  lines=$(grep -c . "$work/velmora.log" || true)
  if [[ "$lines" -ne 1 ]] || ! grep -q 'fInitLeft' "$work/velmora.log"; then
    echo "expected one line naming fInitLeft on stderr"; status=1
  fi
  for want in 'fInitLeft = text "1000"' 'mono = boolean true' 'PhaseEdit = text "0"' 'Duration = text "10"'; do
    grep -qxF "$want" "$store" || { echo "the store lacks: $want"; status=1; }
  done
  [[ $status -ne 0 ]] && cat "$store"
fi
if [[ $status -ne 0 ]]; then
  echo "--- velmora's output:"; cat "$work/velmora.log"
  exit "$status"
fi
echo "--- velmora's output:"; cat "$work/velmora.log"
echo "ok"
