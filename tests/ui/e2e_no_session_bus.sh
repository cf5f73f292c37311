#!/usr/bin/env bash
# Without a session bus velmora starts none. With DISPLAY set, DBUS_SESSION_BUS_ADDRESS
# unset and no bus socket in XDG_RUNTIME_DIR, D-Bus would start a bus for the display
# ("autolaunch", recorded under $HOME/.dbus/session-bus) that outlives the program: here
# the window comes up, one line on stderr says there is no remote control, and no bus is
# left behind - nor by the generator it opens with Ctrl+N. An address that leads nowhere
# gives one line too; the user's own bus socket in XDG_RUNTIME_DIR is used as it is.
#   e2e_no_session_bus.sh <velmora executable>
set -euo pipefail
velmora=$1
for tool in Xvfb xdotool dbus-daemon gdbus; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done

work=$(mktemp -d)
x_pid="" bus_pid="" pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [[ -n "$bus_pid" ]] && kill "$bus_pid" 2>/dev/null || true
  [[ -n "$x_pid" ]] && kill "$x_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for f in "$work"/*.err; do echo "--- $f"; cat "$f"; done; exit 1; }

wait_for() { # SECONDS COMMAND...
  local end=$((SECONDS + $1)); shift
  until "$@"; do ((SECONDS < end)) || return 1; sleep 0.05; done
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
x_pid=$!
wait_for 20 test -s "$work/display" || { cat "$work/xvfb.log"; echo "the X server did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
mkdir -p -m 700 "$work/home" "$work/xdg"
mkdir -p "$work/config/Karvell"
echo 'Welcome = boolean true' >"$work/config/Karvell/Velmora.conf"

windows() { xdotool search --onlyvisible --name '^(ON - )?Velmora$' 2>/dev/null || true; }
window_count() { (($(windows | wc -l) == $1)); }

# run NAME [VAR=VALUE...]: starts velmora with no bus named (unless given), waits for its
# window, moves the focus about (Qt's accessibility asks for the bus then), and leaves it
# running; its stderr goes to NAME.err.
run() {
  local name=$1; shift
  env -u DBUS_SESSION_BUS_ADDRESS HOME="$work/home" XDG_RUNTIME_DIR="$work/xdg" XDG_CONFIG_HOME="$work/config" \
    PULSE_SERVER="unix:$work/no-sound-server" \
    QT_QPA_PLATFORM=xcb "$@" "$velmora" /nosplash >/dev/null 2>"$work/$name.err" &
  app=$!
  pids+=("$app")
  wait_for 30 window_count 1 || fail "$name: no window"
  local w; w=$(windows | head -n1)
  xdotool windowfocus --sync "$w" key Tab key Tab 2>/dev/null || true
  sleep 1
}
end_all() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  pids=()
  wait_for 10 window_count 0 || fail "windows left open"
}
lines() { grep -c "$2" "$work/$1.err" || true; }
no_bus_started() {
  [[ ! -e "$work/home/.dbus" ]] || fail "$1: a session bus was started: $(cat "$work"/home/.dbus/session-bus/* 2>/dev/null)"
}

echo "- no bus named and none in XDG_RUNTIME_DIR: one line, no bus started"
run none
w=$(windows | head -n1)
xdotool windowfocus --sync "$w" key ctrl+n 2>/dev/null
wait_for 30 window_count 2 || fail "Ctrl+N opened no second generator"
for w in $(windows); do
  pid=$(xdotool getwindowpid "$w")
  [[ " ${pids[*]} " == *" $pid "* ]] || pids+=("$pid")
done
sleep 1
end_all
[[ $(lines none "no session bus") -eq 2 ]] || fail "expected one line from each generator"
[[ $(grep -cv "no session bus" "$work/none.err") -eq 0 ]] || fail "more than the one line on stderr"
no_bus_started "no bus"

echo "- an address that leads nowhere: one line, no bus started"
run nowhere DBUS_SESSION_BUS_ADDRESS="unix:path=$work/nowhere"
end_all
[[ $(lines nowhere "session bus does not answer") -eq 1 ]] || fail "expected the one line"
[[ $(wc -l <"$work/nowhere.err") -eq 1 ]] || fail "more than the one line on stderr"
no_bus_started "an address leading nowhere"

echo "- the user's bus socket in XDG_RUNTIME_DIR is used"
dbus-daemon --session --fork --nopidfile --print-pid=3 --address="unix:path=$work/xdg/bus" 3>"$work/bus.pid"
bus_pid=$(head -n1 "$work/bus.pid")
run socket
gdbus call --address "unix:path=$work/xdg/bus" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner "org.velmora.Generator.p$app" | grep -q true ||
  fail "the generator is not on the user's bus"
gdbus call --address "unix:path=$work/xdg/bus" --dest "org.velmora.Generator.p$app" --object-path /Generator \
  --method org.velmora.Generator.Message 1031 123400 0 >/dev/null || fail "the generator does not answer"
end_all
[[ $(lines socket "session bus") -eq 0 ]] || fail "a line about the bus, which is there"
no_bus_started "the user's socket"
echo "ok"
