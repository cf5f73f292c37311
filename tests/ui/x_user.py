"""The user at the keyboard of the test X server, for the e2e scripts: finds the generator's
window by its title, gives it the focus and presses keys. Xlib and XTest through ctypes, so
that nothing beyond the X libraries is needed. A machine without them skips (77)."""
import ctypes
import ctypes.util
import sys
import time

try:
    x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    xt = ctypes.cdll.LoadLibrary(ctypes.util.find_library("Xtst") or "libXtst.so.6")
except OSError as e:
    print("skipped: %s" % e)
    sys.exit(77)
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

XK_F9, XK_F11, XK_CONTROL_L, XK_X = 0xFFC6, 0xFFC8, 0xFFE3, 0x78

d = x.XOpenDisplay(None)
if not d:
    print("cannot open the display")
    sys.exit(1)
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


def focused_window():
    """The generator's window, raised and given the focus; ends the script when none comes."""
    w = find_window()
    if w is None:
        print("no window titled 'Velmora' appeared")
        sys.exit(1)
    time.sleep(0.5)
    x.XRaiseWindow(d, w)
    x.XSetInputFocus(d, w, 1, 0)  # RevertToPointerRoot, CurrentTime
    x.XSync(d, 0)
    time.sleep(0.5)
    return w


def press(*keysyms):
    """Presses the keys in order and lets them go in reverse: press(XK_CONTROL_L, XK_X)."""
    codes = [x.XKeysymToKeycode(d, k) for k in keysyms]
    for code in codes:
        xt.XTestFakeKeyEvent(d, code, 1, 0)
    for code in reversed(codes):
        xt.XTestFakeKeyEvent(d, code, 0, 0)
    x.XSync(d, 0)
