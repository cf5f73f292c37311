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
  python3 - <<'PY'
import ctypes, ctypes.util, sys, time
x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
xt = ctypes.cdll.LoadLibrary(ctypes.util.find_library("Xtst") or "libXtst.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                         ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                         ctypes.POINTER(ctypes.c_uint)]
x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
x.XKeysymToKeycode.restype = ctypes.c_ubyte
x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xt.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
d = x.XOpenDisplay(None)
root = x.XDefaultRootWindow(d)

def velmora_window():
    r, p, n = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_uint()
    kids = ctypes.POINTER(ctypes.c_ulong)()
    if not x.XQueryTree(d, root, ctypes.byref(r), ctypes.byref(p), ctypes.byref(kids), ctypes.byref(n)):
        return None
    for i in range(n.value):
        name = ctypes.c_char_p()
        if x.XFetchName(d, kids[i], ctypes.byref(name)) and name.value == b"Velmora":
            return kids[i]
    return None

end, w = time.time() + 20, None
while w is None and time.time() < end:
    w = velmora_window()
    time.sleep(0.1)
if w is None:
    print("the first run showed no window"); sys.exit(1)
time.sleep(0.5)
x.XSetInputFocus(d, w, 1, 0)
x.XSync(d, 0)
time.sleep(0.5)
ctrl, key_x = x.XKeysymToKeycode(d, 0xFFE3), x.XKeysymToKeycode(d, 0x78)
for code, down in ((ctrl, 1), (key_x, 1), (key_x, 0), (ctrl, 0)):
    xt.XTestFakeKeyEvent(d, code, down, 0)
x.XSync(d, 0)
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
# through ctypes so that nothing beyond the X libraries is needed.
status=0
python3 - "$work/capture.raw" "$mode" <<'PY' || status=$?
import ctypes, ctypes.util, struct, sys, time

try:
    x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    xt = ctypes.cdll.LoadLibrary(ctypes.util.find_library("Xtst") or "libXtst.so.6")
except OSError as e:
    print("skipped: %s" % e); sys.exit(77)
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                         ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                         ctypes.POINTER(ctypes.c_uint)]
x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
x.XRaiseWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XKeysymToKeycode.restype = ctypes.c_ubyte
x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xt.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

d = x.XOpenDisplay(None)
if not d:
    print("cannot open the display"); sys.exit(1)
root = x.XDefaultRootWindow(d)

def windows(w):
    r, p, n = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_uint()
    kids = ctypes.POINTER(ctypes.c_ulong)()
    if not x.XQueryTree(d, w, ctypes.byref(r), ctypes.byref(p), ctypes.byref(kids), ctypes.byref(n)):
        return []
    return [kids[i] for i in range(n.value)]

def title(w):
    name = ctypes.c_char_p()
    if x.XFetchName(d, w, ctypes.byref(name)) and name.value is not None:
        return name.value.decode("utf-8", "replace")
    return None

def wait_title(w, wanted, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        if title(w) == wanted:
            return True
        time.sleep(0.05)
    return False

def find_window(seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        for w in windows(root):
            if title(w) == "Velmora":
                return w
        time.sleep(0.1)
    return None

def press(keysym):
    code = x.XKeysymToKeycode(d, keysym)
    xt.XTestFakeKeyEvent(d, code, 1, 0)
    xt.XTestFakeKeyEvent(d, code, 0, 0)
    x.XSync(d, 0)

XK_F9, XK_F11 = 0xFFC6, 0xFFC8
w = find_window()
if w is None:
    print("no window titled 'Velmora' appeared"); sys.exit(1)
time.sleep(0.5)
x.XRaiseWindow(d, w)
x.XSetInputFocus(d, w, 1, 0)  # RevertToPointerRoot, CurrentTime
x.XSync(d, 0)
time.sleep(0.5)

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
    ctrl, key_x = x.XKeysymToKeycode(d, 0xFFE3), x.XKeysymToKeycode(d, 0x78)
    for code, down in ((ctrl, 1), (key_x, 1), (key_x, 0), (ctrl, 0)):
        xt.XTestFakeKeyEvent(d, code, down, 0)
    x.XSync(d, 0)
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
