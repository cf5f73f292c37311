#!/usr/bin/env bash
# End to end: starts velmora on the test X server and watches its windows as a user sees
# them. Without arguments the 557 x 321 splash appears before the main window, its opacity
# rising to 240/255 and falling again, and a click on it ends its hold early; with
# "/nosplash" the main window comes without any splash.
#   e2e_splash.sh <velmora executable>
# Needs the X server tools/test.sh starts (DISPLAY); skips (77) without it.
set -euo pipefail
velmora=$1
if [[ -z "${DISPLAY:-}" ]]; then
  echo "skipped: no X server (run through tools/test.sh)"
  exit 77
fi
command -v python3 >/dev/null || { echo "skipped: python3 missing"; exit 77; }

work=$(mktemp -d)
app_pid="" x_pid=""
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n "$x_pid" ]] && kill "$x_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# An X server of its own where one can be started: another test's splash on a shared
# display would mix into the opacities watched here.
if command -v Xvfb >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  x_pid=$!
  for _ in $(seq 200); do [[ -s "$work/display" ]] && break; sleep 0.05; done
  [[ -s "$work/display" ]] || { cat "$work/xvfb.log"; echo "the X server did not start"; exit 1; }
  export DISPLAY=":$(head -n1 "$work/display")"
fi

# The welcome question would wait for a click.
mkdir -p "$work/config/Karvell"
echo 'Welcome = boolean true' >"$work/config/Karvell/Velmora.conf"

cat >"$work/watch.py" <<'PY'
import ctypes, ctypes.util, sys, time

mode = sys.argv[1]
try:
    x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    xt = ctypes.cdll.LoadLibrary(ctypes.util.find_library("Xtst") or "libXtst.so.6")
except OSError as e:
    print("skipped: %s" % e); sys.exit(77)

class Attributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]

x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                         ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                         ctypes.POINTER(ctypes.c_uint)]
x.XFree.argtypes = [ctypes.c_void_p]
x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(Attributes)]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
                                 ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
x.XSetErrorHandler.argtypes = [ctypes.c_void_p]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xt.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
xt.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

d = x.XOpenDisplay(None)
open(sys.argv[2], "w").close()  # ready: velmora may start
if not d:
    print("cannot open the display"); sys.exit(1)
# Windows come and go while we look: a vanished one is no error.
ERRORS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda a, b: 0)
x.XSetErrorHandler(ctypes.cast(ERRORS, ctypes.c_void_p))
root = x.XDefaultRootWindow(d)
OPACITY = x.XInternAtom(d, b"_NET_WM_WINDOW_OPACITY", 0)

def children(w):
    r, p, n = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_uint()
    kids = ctypes.POINTER(ctypes.c_ulong)()
    if not x.XQueryTree(d, w, ctypes.byref(r), ctypes.byref(p), ctypes.byref(kids), ctypes.byref(n)):
        return []
    out = [kids[i] for i in range(n.value)]
    if n.value:
        x.XFree(kids)
    return out

def title(w):
    name = ctypes.c_char_p()
    if x.XFetchName(d, w, ctypes.byref(name)) and name.value is not None:
        return name.value.decode("utf-8", "replace")
    return None

def shown(w):
    a = Attributes()
    if not x.XGetWindowAttributes(d, w, ctypes.byref(a)) or a.map_state != 2:  # IsViewable
        return None
    return a

def opacity(w):
    kind, fmt, n, after = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
    data = ctypes.c_void_p()
    if x.XGetWindowProperty(d, w, OPACITY, 0, 1, 0, 0, ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(n),
                            ctypes.byref(after), ctypes.byref(data)) != 0 or not data.value:
        return None
    value = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0] & 0xFFFFFFFF if n.value else None
    x.XFree(data)
    return None if value is None else round(value * 255 / 0xFFFFFFFF)

def look():
    splash = main = None
    for w in children(root):
        a = shown(w)
        if a is None or title(w) != "Velmora":
            continue
        if (a.width, a.height) == (557, 321):
            splash = (w, a)
        else:
            main = (w, a)
    return splash, main

def click(w, a):
    xt.XTestFakeMotionEvent(d, -1, a.x + a.width // 2, a.y + a.height // 2, 0)
    xt.XTestFakeButtonEvent(d, 1, 1, 0)
    xt.XTestFakeButtonEvent(d, 1, 0, 0)
    x.XSync(d, 0)

samples = []          # (time, alpha) while the splash is on screen
splash_seen_at = None
full_since = None     # when the alpha first reached 240
clicked_at = None
main_at = None
end = time.time() + 30
while time.time() < end:
    splash, main = look()
    now = time.time()
    if splash:
        alpha = opacity(splash[0])
        if alpha is not None:
            samples.append((now, alpha))
            if alpha == 240 and full_since is None:
                full_since = now
            # Clicks during the fade-in do not count: click once the hold has begun.
            if mode == "click" and clicked_at is None and full_since and now - full_since > 0.06:
                click(*splash)
                clicked_at = now
    if main and not splash:
        main_at = now
        break
    time.sleep(0.005)

if main_at is None:
    print("the main window did not appear"); sys.exit(1)
if mode == "nosplash":
    if samples:
        print("a splash appeared although /nosplash was given"); sys.exit(1)
    print("main window without a splash"); sys.exit(0)

if not samples:
    print("no splash appeared"); sys.exit(1)
alphas = [a for _, a in samples]
peak = alphas.index(max(alphas))
rising, falling = alphas[: peak + 1], alphas[peak:]
print("splash alphas seen: %s" % sorted(set(alphas)))
if max(alphas) != 240:
    print("the splash never reached alpha 240"); sys.exit(1)
if rising != sorted(rising) or falling != sorted(falling, reverse=True):
    print("the alpha did not rise and then fall: %s" % alphas); sys.exit(1)
if len(set(rising)) < 5 or len(set(falling)) < 5:
    print("too few fade steps seen: %s" % alphas); sys.exit(1)
if min(falling) > 64:
    print("the splash left before fading out: %s" % alphas); sys.exit(1)
# The hold: from reaching 240 until the fade-out lowers it.
fading = next(t for t, a in samples if t > full_since and a < 240)
hold = fading - full_since
print("held %.0f ms at full alpha" % (hold * 1000))
if mode == "click" and (clicked_at is None or hold > 0.30):
    print("the click did not end the hold (%.0f ms)" % (hold * 1000)); sys.exit(1)
if mode == "plain" and hold < 0.30:
    print("the hold was shorter than its 350 ms (%.0f ms)" % (hold * 1000)); sys.exit(1)
PY

# One start: velmora with the given argument, watched by the script of the given mode. The
# watcher is ready (its libraries loaded, the display open) before velmora starts: a slow
# start of the watcher would otherwise miss the 300 ms fade-in.
watch() {
  local mode=$1; shift
  rm -f "$work/ready"
  python3 "$work/watch.py" "$mode" "$work/ready" &
  local watcher=$!
  for _ in $(seq 400); do [[ -e "$work/ready" ]] || ! kill -0 "$watcher" 2>/dev/null && break; sleep 0.025; done
  XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$velmora" "$@" >"$work/velmora.log" 2>&1 &
  app_pid=$!
  local status=0
  wait "$watcher" || status=$?
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  if [[ $status -ne 0 ]]; then
    echo "--- velmora's output:"; cat "$work/velmora.log"
    exit "$status"
  fi
}

watch plain
watch click
watch nosplash /nosplash
echo "ok"
