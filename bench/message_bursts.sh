#!/usr/bin/env bash
# The generator window's memory over bursts of remote messages (not run by CI): velmora on
# a private X server and session bus (no sound server: nothing plays), then BURSTS bursts
# of COUNT messages each - frequencies, levels, durations, waveforms, channel layouts,
# modulation, the sync box, devices, preset stores and recalls, unknown numbers - sent
# one after another as a remote-control client does, with the window's resident memory
# (VmRSS) and heap after each. Memory that keeps growing burst after burst is a leak; a rise
# over the first bursts that then stays is the allocator and Qt's caches settling.
#   bench/message_bursts.sh [BUILD_DIR] [BURSTS (8)] [COUNT (10000)]
# VELMORA_HEAPTRACK=1 runs the window under heaptrack and prints what it still held at exit;
# VELMORA_BURST_MESSAGES=1031,1046 sends only those message numbers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bursts=${2:-8}
count=${3:-10000}
velmora=${VELMORA_PROGRAM:-$build/app/velmora}
[[ -x "$velmora" ]] || { echo "missing: $velmora" >&2; exit 2; }
for tool in Xvfb dbus-daemon; do command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }; done
/usr/bin/python3 -c "import dbus" 2>/dev/null || { echo "needs python3-dbus" >&2; exit 2; }

work=$(mktemp -d /tmp/velmora-bursts.XXXXXX)
x_pid="" app_pid=""
source "$root/tools/private_bus.sh"
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  velmora_private_bus_stop
  [[ -n "$x_pid" ]] && kill "$x_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
velmora_private_bus_start "$work"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
x_pid=$!
for _ in $(seq 200); do [[ -s "$work/display" ]] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
mkdir -p "$work/config/Karvell"
echo 'Welcome = boolean true' >"$work/config/Karvell/Velmora.conf"

run=("$velmora")
if [[ -n "${VELMORA_HEAPTRACK:-}" ]]; then run=(heaptrack -o "$work/heap" "$velmora"); fi
XDG_CONFIG_HOME="$work/config" PULSE_SERVER="unix:$work/no-sound-server" QT_QPA_PLATFORM=xcb \
  "${run[@]}" /nosplash >"$work/velmora.log" 2>&1 &
app_pid=$!
# Under heaptrack the program is a child of its shell.
pid_of_window() { pgrep -n -f "^$velmora /nosplash" || true; }
for _ in $(seq 300); do
  pid=$(pid_of_window)
  [[ -n "$pid" ]] && gdbus call --session --dest "org.velmora.Generator.p$pid" --object-path /Generator \
    --method org.freedesktop.DBus.Properties.Get org.velmora.Generator Title >/dev/null 2>&1 && break
  sleep 0.1
done
memory() { awk '/^VmRSS|^RssAnon/ { printf "%s %.1f MB  ", $1, $2 / 1024 }' "/proc/$pid/status"; }
echo "start: $(memory)"

/usr/bin/python3 - "org.velmora.Generator.p$pid" "$bursts" "$count" "$pid" "${VELMORA_BURST_MESSAGES:-}" <<'PY'
import dbus, random, sys, time

name, bursts, count, pid = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
only = [int(n) for n in sys.argv[5].split(",") if n]
send = dbus.SessionBus().get_object(name, "/Generator").get_dbus_method("Message", "org.velmora.Generator")
rnd = random.Random(19)

def message():
    n = rnd.choice(only or [1027, 1030, 1031, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043,
                            1044, 1045, 1046, 1047, 1048, 1130, 1131, 1133, 1136, 1137, 1140, 1141, 1146, 1099,
                            2000])
    w, l = 0, 0
    if n in (1031, 1033, 1131, 1133): w = rnd.randint(2000, 2000000)      # 20 Hz - 20 kHz
    elif n == 1034: w = rnd.randint(1, 100)                                # 0.1 - 10 s
    elif n in (1040, 1140): w = (-rnd.randint(0, 60)) & 0xFFFFFFFF         # 0 to -60 dBFS
    elif n == 1038: w = rnd.randint(0, 3)
    elif n == 1039: w = rnd.randint(0, 359)
    elif n in (1042,): w, l = rnd.randint(1, 5), rnd.randint(1, 5)
    elif n in (1043, 1045): w, l = rnd.randint(0, 100), rnd.randint(0, 100)
    elif n == 1044: w, l = rnd.randint(0, 3), rnd.randint(0, 3)
    elif n in (1046, 1146): w = rnd.randint(0, 9)
    elif n == 1047: w = 0xFFFFFFFF
    elif n == 1048: w, l = rnd.randint(0, 1), rnd.randint(1, 4)
    else: w = rnd.randint(0, 1)
    return n, w, l

def memory():
    fields = {}
    for line in open("/proc/%s/status" % pid):
        key, _, value = line.partition(":")
        if key in ("VmRSS", "RssAnon"):
            fields[key] = int(value.split()[0]) / 1024
    return "VmRSS %.1f MB  RssAnon %.1f MB" % (fields["VmRSS"], fields["RssAnon"])

for b in range(1, bursts + 1):
    t0 = time.monotonic()
    for _ in range(count):
        n, w, l = message()
        send(dbus.UInt32(n), dbus.UInt32(w), dbus.Int32(l))
    took = time.monotonic() - t0
    time.sleep(1)
    print("burst %d (%d messages, %.1f s): %s" % (b, count, took, memory()), flush=True)
PY

echo "the window's stderr: $(wc -l <"$work/velmora.log") lines, the most frequent:"
sort "$work/velmora.log" | uniq -c | sort -rn | head -n 5
if [[ -n "${VELMORA_HEAPTRACK:-}" ]]; then
  kill "$pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  heaptrack_print -f "$(ls "$work"/heap*.zst | head -n1)" --print-leaks 1 --print-peaks 1 --print-allocators 0 \
    --print-temporary 0 --peak-limit 8 --sub-peak-limit 1 >"$work/heap.txt" 2>/dev/null
  # The largest holders at their peak and at exit (first frames only), then the totals.
  grep -E -A4 '^[0-9.]+[BKMG]? (peak memory consumed|leaked) over' "$work/heap.txt" | cut -c1-160
  grep -E '^(total memory leaked|peak heap memory consumption|calls to allocation functions)' "$work/heap.txt"
fi
