#!/usr/bin/env bash
# velmora-render when the system fails under it: a sound server that freezes (SIGSTOP) or
# dies while playing, a signal while the server is frozen, a process killed mid-export and
# a target the user may not write. Statuses, one-line messages, nothing left behind, and
# the time from the signal to the end (printed, with a loose bound).
# The frozen server is a PulseAudio server of this script's own, so no other test hears it.
set -u
render=$1
fail() { echo "FAIL: $*"; exit 1; }
command -v pulseaudio >/dev/null || { echo "no pulseaudio: skipped"; exit 77; }

work=$(mktemp -d /tmp/velmora-faults.XXXXXX)
# A guard ends what this script started and removes its folder when the script is
# killed outright (a CTest time-out).
source "$(cd "$(dirname "$0")/../.." && pwd)/tools/services.sh"
velmora_guard_start
velmora_guard_add dir "$work"
server_pid=""
cleanup() {
  if [[ -n "$server_pid" ]]; then kill -CONT "$server_pid" 2>/dev/null; kill -KILL "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; fi
  rm -rf "$work"
  velmora_guard_stop
}
trap cleanup EXIT

start_server() {
  mkdir -p -m 700 "$work/xdg" "$work/home"
  rm -f "$work/pulse.sock"
  # Off the session bus (also as found through the X server), where the test services' server
  # holds PulseAudio's name.
  env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY XDG_RUNTIME_DIR="$work/xdg" HOME="$work/home" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --disallow-exit -L "module-null-sink sink_name=faults_null rate=48000" \
    -L "module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" >"$work/pulse.log" 2>&1 &
  server_pid=$!
  velmora_guard_add pid "$server_pid"
  for _ in $(seq 1 100); do [[ -S "$work/pulse.sock" ]] && break; sleep 0.05; done
  [[ -S "$work/pulse.sock" ]] || fail "the private PulseAudio server did not start: $(cat "$work/pulse.log")"
  sleep 0.3
}
stop_server() {
  kill -CONT "$server_pid" 2>/dev/null; kill -KILL "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null
  server_pid=""
}
export PULSE_SERVER="unix:$work/pulse.sock"
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
# Waits up to $2 seconds for process $1 to end; true if it did.
ended_within() {
  local end; end=$(awk -v n="$(now)" -v s="$2" 'BEGIN { printf "%.3f", n + s }')
  while kill -0 "$1" 2>/dev/null; do
    awk -v n="$(now)" -v e="$end" 'BEGIN { exit !(n > e) }' && return 1
    sleep 0.02
  done
  return 0
}
one_line() { [[ $(wc -l <"$1") -eq 1 ]] || fail "$2: not one line on stderr: $(cat "$1")"; }

# A signal while the server is frozen: the renderer ends within about a second, 128 + signal.
for sig in INT TERM; do
  start_server
  "$render" --play fInitLeft=440 Duration=20 2>"$work/err" &
  pid=$!
  velmora_guard_add pid "$pid"
  sleep 1
  kill -0 "$pid" 2>/dev/null || fail "SIG$sig: stopped before the freeze: $(cat "$work/err")"
  kill -STOP "$server_pid"
  sleep 0.3
  t0=$(now)
  kill -"$sig" "$pid"
  ended_within "$pid" 3 || { kill -9 "$pid"; fail "SIG$sig: still running 3 s after the signal"; }
  t1=$(now)
  wait "$pid"; rc=$?
  want=$((128 + $(kill -l "$sig")))
  [[ $rc -eq $want ]] || fail "SIG$sig with a frozen server: exit $rc, not $want: $(cat "$work/err")"
  echo "SIG$sig with a frozen server: exit $rc after $(elapsed "$t0" "$t1") s"
  stop_server
done

# The server freezes mid-play, no signal: the device is given up, exit 3 with the engine's text.
start_server
"$render" --play fInitLeft=440 Duration=20 2>"$work/err" &
pid=$!
velmora_guard_add pid "$pid"
sleep 1
t0=$(now)
kill -STOP "$server_pid"
ended_within "$pid" 10 || { kill -9 "$pid"; fail "frozen server: still running 10 s later"; }
t1=$(now)
wait "$pid"; rc=$?
[[ $rc -eq 3 ]] || fail "frozen server: exit $rc: $(cat "$work/err")"
grep -q "^velmora-render: Sound Device Error: The audio device is no longer available$" "$work/err" ||
  fail "frozen server: $(cat "$work/err")"
one_line "$work/err" "frozen server"
echo "server frozen mid-play: exit 3 after $(elapsed "$t0" "$t1") s"

# Frozen before the start: the open gets no answer.
t0=$(now)
"$render" --play fInitLeft=440 Duration=1 2>"$work/err"; rc=$?
t1=$(now)
[[ $rc -eq 3 ]] || fail "frozen at start: exit $rc: $(cat "$work/err")"
grep -q "Sound Device Error: The audio device does not answer" "$work/err" || fail "frozen at start: $(cat "$work/err")"
one_line "$work/err" "frozen at start"
echo "server frozen before the start: exit 3 after $(elapsed "$t0" "$t1") s"
stop_server

# The server dies mid-play.
start_server
"$render" --play fInitLeft=440 Duration=20 2>"$work/err" &
pid=$!
velmora_guard_add pid "$pid"
sleep 1
kill -KILL "$server_pid"; wait "$server_pid" 2>/dev/null; server_pid=""
ended_within "$pid" 10 || { kill -9 "$pid"; fail "killed server: still running 10 s later"; }
wait "$pid"; rc=$?
[[ $rc -eq 3 ]] || fail "killed server: exit $rc: $(cat "$work/err")"
grep -q "^velmora-render: Sound Device Error: " "$work/err" || fail "killed server: $(cat "$work/err")"
grep -q "ALSA lib\|cannot recovery" "$work/err" && fail "killed server: ALSA's own lines: $(cat "$work/err")"
grep -q "underrun" "$work/err" && fail "killed server: a lost device counted as an underrun: $(cat "$work/err")"
echo "server killed mid-play: exit 3: $(head -n1 "$work/err")"

# No sound server at all: the device error says so (a machine with a sound card may play
# through it instead).
env -u PULSE_RUNTIME_PATH PULSE_SERVER="unix:$work/nobody.sock" XDG_RUNTIME_DIR="$work/xdg" \
  timeout 20 "$render" --play fInitLeft=440 Duration=0.5 2>"$work/err"
rc=$?
if [[ $rc -eq 3 ]]; then
  grep -qx "velmora-render: Sound Device Error: No sound server answers.*" "$work/err" ||
    fail "no sound server: $(cat "$work/err")"
  echo "no sound server: $(cat "$work/err")"
elif [[ $rc -ne 0 ]]; then
  fail "no sound server: exit $rc: $(cat "$work/err")"
fi

# A process ended mid-export leaves no file behind, whatever ended it.
mkdir "$work/out"
for sig in INT TERM HUP KILL; do
  # A background job of a script starts with SIGINT ignored; a terminal's Ctrl+C does not.
  env --default-signal=INT "$render" "$work/out/long.wav" WaveFormLeft=4 cboChannels=1 SamplingRate=384000 Quantisation=24 Duration=900 2>"$work/err" &
  pid=$!
  velmora_guard_add pid "$pid"
  sleep 0.4
  kill -"$sig" "$pid" 2>/dev/null || fail "the export ended before SIG$sig: $(cat "$work/err")"
  wait "$pid" 2>/dev/null
  left=$(ls -A "$work/out")
  [[ -z "$left" ]] || fail "SIG$sig during an export left: $left"
done
echo "exports ended by INT, TERM, HUP, KILL: nothing left behind"

# A file the user may not write, in a folder anyone may write: refused, untouched.
if [[ $(id -u) -eq 0 ]] && command -v setpriv >/dev/null; then
  chmod 0777 "$work/out"; chmod 0755 "$work"
  echo "root's" >"$work/out/locked.wav"; chmod 0444 "$work/out/locked.wav"
  setpriv --reuid=65534 --regid=65534 --clear-groups "$render" "$work/out/locked.wav" Duration=0.1 2>"$work/err"; rc=$?
  [[ $rc -eq 2 ]] || fail "read-only target: exit $rc: $(cat "$work/err")"
  grep -q "File Access Error, cannot write file." "$work/err" || fail "read-only target: $(cat "$work/err")"
  [[ "$(cat "$work/out/locked.wav")" == "root's" && $(stat -c %u:%a "$work/out/locked.wav") == "0:444" ]] ||
    fail "read-only target was changed: $(stat -c %U:%a "$work/out/locked.wav")"
  [[ $(ls -A "$work/out" | wc -l) -eq 1 ]] || fail "read-only target: stray files: $(ls -A "$work/out")"
  echo "read-only target: exit 2, untouched"
fi
echo PASS
