# Sourced by the tests that run several generator processes: a private X server, one null
# sink per generator on the test PulseAudio server, starting generators and waiting for
# them on the session bus and on screen, sending them messages with gdbus, and measuring
# what each one played. Every wait polls a condition with a time-out; nothing races a
# fixed sleep. Call gl_cleanup on exit.

gl_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=/dev/null
source "$gl_root/tools/services.sh"
# Under a dbus-run-session of the script's own, the guard also watches that: killed (a CTest
# time-out), it would leave this script and its bus daemon running.
if [[ -n "${VELMORA_PRIVATE_BUS:-}" ]]; then
  VELMORA_GUARD_OUTER=$PPID
  gl_session_bus=$(pgrep -P "$PPID" -x dbus-daemon || true)
fi
velmora_guard_start
# shellcheck disable=SC2086
[[ -n "${gl_session_bus:-}" ]] && velmora_guard_add pid $gl_session_bus

gl_work=$(mktemp -d)
velmora_guard_add dir "$gl_work"
gl_pids=()     # processes to stop at the end (generators, recorders, X)
gl_modules=()  # PulseAudio modules to unload at the end
gl_services="" # set when the sound server was started here

# gl_track PID...: processes to stop at the end, also when the script is killed.
gl_track() {
  gl_pids+=("$@")
  velmora_guard_add pid "$@"
}

gl_skip() { echo "skipped: $*"; exit 77; }

gl_require() {
  local tool
  for tool in "$@"; do command -v "$tool" >/dev/null || gl_skip "$tool missing"; done
}

gl_cleanup() {
  local pid module
  for pid in "${gl_pids[@]}"; do kill -CONT "$pid" 2>/dev/null || true; done
  velmora_end_processes "${gl_pids[@]}"
  for module in "${gl_modules[@]}"; do pactl unload-module "$module" 2>/dev/null || true; done
  [[ -n "$gl_services" ]] && velmora_services_stop
  rm -rf "$gl_work"
  # shellcheck disable=SC2086
  [[ -n "${gl_session_bus:-}" ]] && kill $gl_session_bus 2>/dev/null
  velmora_guard_stop
}

# Polls `command...` every 50 ms until it succeeds or `seconds` pass.
gl_wait() {
  local seconds=$1; shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.05
  done
}

# A display of our own, so that no other test's window or key grab is in the way. The
# server picks a free display number itself, so tests started together never share one.
gl_start_x() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$gl_work/display" >"$gl_work/xvfb.log" 2>&1 &
  gl_track $!
  gl_wait 20 test -s "$gl_work/display" || { cat "$gl_work/xvfb.log"; echo "the X server did not start"; exit 1; }
  export DISPLAY=":$(head -n1 "$gl_work/display")"
  gl_wait 20 xdpyinfo_ok || { cat "$gl_work/xvfb.log"; echo "the X server does not answer"; exit 1; }
}
xdpyinfo_ok() { xdotool getmouselocation >/dev/null 2>&1; }

# The PulseAudio server of tools/services.sh, or one started here when there is none.
gl_sound_server() {
  if [[ -z "${PULSE_SERVER:-}" ]] || ! pactl info >/dev/null 2>&1; then
    local bus=$DBUS_SESSION_BUS_ADDRESS display=${DISPLAY:-}
    gl_services=1
    velmora_services_start
    # Keep this test's own bus and display; only the sound server is wanted.
    export DBUS_SESSION_BUS_ADDRESS=$bus DISPLAY=$display
  fi
}

# gl_sink NAME: a null sink for one generator, kept rendering (an idle null sink sleeps in
# 2 s blocks and drops the start of a new stream), with its monitor recorded to NAME.raw
# (48 kHz, mono, 16 bit).
gl_sink() {
  local name=$1 module
  module=$(pactl load-module module-null-sink "sink_name=$name" rate=48000) || { echo "cannot add a null sink"; exit 1; }
  gl_modules+=("$module")
  pacat --playback --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 -d "$name" /dev/zero \
    >/dev/null 2>&1 &
  gl_track $!
  parec -d "$name.monitor" --format=s16le --rate=48000 --channels=1 --raw >"$gl_work/$name.raw" 2>/dev/null &
  gl_track $!
}

gl_size() { stat -c %s "$1" 2>/dev/null || echo 0; }
gl_grown() { (($(gl_size "$1") >= $2)); }

# gl_peak NAME SECONDS: waits for SECONDS more of the sink's sound and prints its peak.
gl_peak() {
  local file=$gl_work/$1.raw seconds=$2
  local from to
  from=$(gl_size "$file")
  to=$((from + $(python3 -c "print(int($seconds * 96000))")))
  gl_wait $((${seconds%.*} + 10)) gl_grown "$file" "$to" || { echo "the recording of $1 stopped" >&2; return 1; }
  python3 - "$file" "$from" "$to" <<'PY'
import struct, sys
name, a, b = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
a -= a % 2
with open(name, "rb") as f:
    f.seek(a)
    data = f.read(b - a)
samples = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])
print(max((abs(s) for s in samples), default=0))
PY
}

# gl_loud NAME / gl_silent NAME: waits up to 8 s for half a second of the sink's sound that
# is loud (a full-scale tone) or silent. A new stream and a sink that was idle take a
# moment to settle, so the half seconds before are not held against it.
gl_sound_is() {
  local name=$1 want=$2 peak=none end=$((SECONDS + 8))
  while ((SECONDS < end)); do
    peak=$(gl_peak "$name" 0.5) || return 1
    if [[ $want == loud ]] && ((peak > 16000)); then return 0; fi
    if [[ $want == silent ]] && ((peak < 100)); then return 0; fi
  done
  echo "$name is not $want (peak $peak)"
  return 1
}
gl_loud() { gl_sound_is "$1" loud; }
gl_silent() { gl_sound_is "$1" silent; }

# gl_start VAR [SINK]: starts a generator (welcome question answered, playing into SINK),
# waits until it is on the bus and on screen, and sets VAR to its process id.
gl_start() {
  local var=$1 sink=${2:-} config
  config=$(mktemp -d "$gl_work/config.XXXX")
  mkdir -p "$config/Karvell"
  echo 'Welcome = boolean true' >"$config/Karvell/Velmora.conf"
  env ${sink:+PULSE_SINK=$sink} XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=xcb "$velmora" /nosplash \
    >"$gl_work/velmora.$var.log" 2>&1 &
  local pid=$!
  gl_track "$pid"
  printf -v "$var" '%s' "$pid"
  gl_wait 30 gl_on_bus "$pid" || { echo "generator $pid did not appear on the bus"; gl_logs; exit 1; }
  gl_wait 30 gl_window "$pid" >/dev/null || { echo "generator $pid has no window"; gl_logs; exit 1; }
}

# The process ids of the generators on the bus, one a line.
gl_bus_pids() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames | grep -o "org\.velmora\.Generator\.p[0-9]*" | sed 's/.*\.p//' | sort
}

gl_logs() { local f; for f in "$gl_work"/velmora.*.log; do echo "--- $f"; cat "$f"; done; }

gl_on_bus() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "org.velmora.Generator.p$1" 2>/dev/null | grep -q true
}

# The generator's main window (its title is "Velmora" or "ON - Velmora", "Velmora 2" for a second one, ...).
gl_window() { xdotool search --all --onlyvisible --pid "$1" --name '^(ON - )?Velmora( [0-9]+)?$' 2>/dev/null | head -n1 | grep .; }

gl_title() { xdotool getwindowname "$(gl_window "$1")" 2>/dev/null; }
gl_title_is() { [[ "$(gl_title "$1")" == "$2" ]]; }

# gl_expect_title PID TITLE: waits up to 10 s for the title.
gl_expect_title() {
  gl_wait 10 gl_title_is "$1" "$2" || { echo "generator $1: title '$(gl_title "$1")', expected '$2'"; return 1; }
}

# gl_call PID MESSAGE WPARAM LPARAM
gl_call() {
  gdbus call --session --dest "org.velmora.Generator.p$1" --object-path /Generator \
    --method org.velmora.Generator.Message "$2" "$3" -- "$4"
}

# gl_keys PID KEY...: gives the generator's window the focus and presses the keys there.
gl_keys() {
  local pid=$1; shift
  local w
  w=$(gl_window "$pid") || return 1
  xdotool windowraise "$w" windowfocus --sync "$w"
  gl_wait 5 focused "$w"
  xdotool key --clearmodifiers "$@"
}
focused() { [[ "$(xdotool getwindowfocus 2>/dev/null)" == "$1" ]]; }
