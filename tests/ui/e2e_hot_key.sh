#!/usr/bin/env bash
# The global hot key: with another X window focused, Ctrl+Insert (also with CapsLock or
# NumLock on) toggles the generator that holds the key; a second generator started
# meanwhile does not get it, and takes it over once the first has closed and it is
# activated. Private bus and X server.
#   e2e_hot_key.sh <velmora executable>
set -euo pipefail
if [[ -z "${VELMORA_PRIVATE_BUS:-}" ]]; then
  command -v dbus-run-session >/dev/null || { echo "skipped: dbus-run-session missing"; exit 77; }
  VELMORA_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
velmora=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/generators_lib.sh"
trap gl_cleanup EXIT
gl_require Xvfb xdotool gdbus pactl parec pacat python3
gl_start_x
gl_sound_server
fail() { echo "FAIL: $*"; gl_logs; exit 1; }

# Another program's window, which keeps the focus whenever it is given it back.
python3 - "$gl_work/other.id" <<'PY' &
import ctypes, ctypes.util, sys, time
x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XCreateSimpleWindow.restype = ctypes.c_ulong
x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 4 + [ctypes.c_uint] + [ctypes.c_ulong] * 2
x.XStoreName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_char_p]
x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
d = x.XOpenDisplay(None)
w = x.XCreateSimpleWindow(d, x.XDefaultRootWindow(d), 700, 600, 300, 200, 1, 0, 0xFFFFFF)
x.XStoreName(d, w, b"Other program")
x.XMapWindow(d, w)
x.XSync(d, 0)
open(sys.argv[1], "w").write(str(w))
while True:
    time.sleep(1)
PY
gl_track $!
gl_wait 20 test -s "$gl_work/other.id" || fail "the other window did not appear"
other=$(cat "$gl_work/other.id")
focus_other() {
  xdotool windowfocus --sync "$other"
  gl_wait 5 focused "$other" || fail "the other window did not take the focus"
}
hot_key() { focus_other; xdotool key ctrl+Insert; }

gl_sink "hot_a_$$"
gl_sink "hot_b_$$"
gl_start A "hot_a_$$"

echo "- Ctrl+Insert with another window focused switches the generator on and off"
hot_key
gl_expect_title "$A" "ON - Velmora" || fail "Ctrl+Insert did not switch the generator on"
gl_loud "hot_a_$$" || fail "nothing heard"
hot_key
gl_expect_title "$A" "Velmora" || fail "Ctrl+Insert did not switch the generator off"

echo "- the CapsLock and NumLock variants are held too"
# Another client asks for each variant of the key; the server refuses what the generator
# holds (BadAccess). Prints the variants it was refused.
held=$(python3 - <<'PY'
import ctypes, ctypes.util
x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
d = x.XOpenDisplay(None)
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XKeysymToKeycode.restype = ctypes.c_ubyte
x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XGrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_int]
x.XUngrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
class ModMap(ctypes.Structure):
    _fields_ = [("max_keypermod", ctypes.c_int), ("modifiermap", ctypes.POINTER(ctypes.c_ubyte))]
x.XGetModifierMapping.restype = ctypes.POINTER(ModMap)
x.XGetModifierMapping.argtypes = [ctypes.c_void_p]
refused = []
Handler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
def on_error(display, event):
    refused.append(True)
    return 0
handler = Handler(on_error)
x.XSetErrorHandler(handler)
root = x.XDefaultRootWindow(d)
insert = x.XKeysymToKeycode(d, 0xFF63)
numlock_code = x.XKeysymToKeycode(d, 0xFF7F)
m = x.XGetModifierMapping(d).contents
numlock = 0
for mod in range(8):
    for j in range(m.max_keypermod):
        if numlock_code and m.modifiermap[mod * m.max_keypermod + j] == numlock_code:
            numlock = 1 << mod
out = []
for name, mask in [("Control", 4), ("Control+CapsLock", 4 | 2), ("Control+NumLock", 4 | numlock),
                   ("Control+CapsLock+NumLock", 4 | 2 | numlock)]:
    if name.endswith("NumLock") and not numlock:
        continue
    del refused[:]
    x.XGrabKey(d, insert, mask, root, 1, 1, 1)
    x.XSync(d, 0)
    if refused:
        out.append(name)
    else:
        x.XUngrabKey(d, insert, mask, root)
        x.XSync(d, 0)
print(" ".join(out))
PY
)
echo "  held: $held"
for variant in Control Control+CapsLock Control+NumLock Control+CapsLock+NumLock; do
  [[ " $held " == *" $variant "* ]] || fail "$variant+Insert is not held by the generator"
done

echo "- a second generator does not take the key from the first"
gl_start B "hot_b_$$"
# Activated (the focus alone; a key that opens nothing, so that no window of its own comes
# up later and takes the focus back).
gl_keys "$B" shift >/dev/null 2>&1 || true
hot_key
gl_expect_title "$A" "ON - Velmora" || fail "the first lost the key to the second"
gl_title_is "$B" "Velmora 2" || fail "the second switched on"
hot_key
gl_expect_title "$A" "Velmora" || fail "the first did not switch off"

echo "- the second takes the key over once the first has closed"
gl_keys "$A" ctrl+x
gl_wait 20 bash -c "! kill -0 $A 2>/dev/null" || fail "the first did not close"
w=$(gl_window "$B")
xdotool windowfocus --sync "$w"
gl_wait 5 focused "$w" || fail "the second was not activated"
hot_key
gl_expect_title "$B" "ON - Velmora 2" || fail "the second did not take the key over"
gl_loud "hot_b_$$" || fail "nothing heard from the second"
hot_key
gl_expect_title "$B" "Velmora 2" || fail "the second did not switch off"
echo "ok"
