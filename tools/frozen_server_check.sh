#!/usr/bin/env bash
# Measures how the generator window answers when its sound server stops answering: starts
# the window on a private X server with a private PulseAudio server, switches it on (F11),
# freezes the server (SIGSTOP), presses F9 and times until the title says the generator is
# off; then the same with the server frozen while playing and no key at all, and ON pressed
# while frozen. Prints the times and leaves a screenshot in the given folder.
#   tools/frozen_server_check.sh [build folder] [screenshot folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shots=${2:-$(mktemp -d /tmp/velmora-frozen-shots.XXXXXX)}
velmora=$build/app/velmora
for tool in Xvfb xdotool pulseaudio dbus-daemon; do command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }; done

work=$(mktemp -d /tmp/velmora-frozen.XXXXXX)
# A guard ends what this script started and removes its folder when the script is
# killed outright (a CTest time-out).
source "$root/tools/services.sh"
velmora_guard_start
velmora_guard_add dir "$work"
x_pid="" pa_pid="" app_pid=""
source "$root/tools/private_bus.sh"
cleanup() {
  velmora_private_bus_stop
  [[ -n "$pa_pid" ]] && kill -CONT "$pa_pid" 2>/dev/null || true
  # shellcheck disable=SC2086
  velmora_end_processes $app_pid $pa_pid $x_pid
  rm -rf "$work"
  velmora_guard_stop
}
trap cleanup EXIT

# The window gets a session bus of its own: it reaches no other generator, and no bus is
# started for it.
velmora_private_bus_start "$work" || { echo "cannot start a session bus" >&2; exit 1; }

d=120
while [[ -e /tmp/.X$d-lock || -e /tmp/.X11-unix/X$d ]]; do d=$((d + 1)); done
Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
x_pid=$!
velmora_guard_add pid "$x_pid"
mkdir -p -m 700 "$work/xdg" "$work/home" "$work/config/Karvell"
echo 'Welcome = boolean true' >"$work/config/Karvell/Velmora.conf"

start_pa() {
  rm -f "$work/pulse.sock"
  env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY XDG_RUNTIME_DIR="$work/xdg" HOME="$work/home" pulseaudio -n \
    --daemonize=no --exit-idle-time=-1 --disallow-exit -L "module-null-sink sink_name=frozen rate=48000" \
    -L "module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" >/dev/null 2>&1 &
  pa_pid=$!
  velmora_guard_add pid "$pa_pid"
  for _ in $(seq 1 100); do [[ -S "$work/pulse.sock" ]] && break; sleep 0.05; done
}
start_app() {
  DISPLAY=":$d" PULSE_SERVER="unix:$work/pulse.sock" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
    "$velmora" /nosplash >"$work/velmora.log" 2>&1 &
  app_pid=$!
  velmora_guard_add pid "$app_pid"
  for _ in $(seq 1 100); do
    win=$(DISPLAY=":$d" xdotool search --pid "$app_pid" --name '^(ON - )?Velmora$' 2>/dev/null | head -n1 || true)
    [[ -n "$win" ]] && break
    sleep 0.1
  done
  [[ -n "$win" ]] || { echo "the window did not appear" >&2; cat "$work/velmora.log" >&2; exit 1; }
}
title() { DISPLAY=":$d" timeout 5 xdotool getwindowname "$win" 2>/dev/null || echo "?"; }
# No window manager: focus the window by hand, then type as the keyboard would.
key() { DISPLAY=":$d" xdotool windowraise "$win" windowfocus "$win" sleep 0.2 key "$1" 2>/dev/null; }
now() { date +%s.%N; }
# Seconds until the title is $1 (up to $2 seconds), or "never".
until_title() {
  local t0 end; t0=$(now); end=$(awk -v n="$t0" -v s="$2" 'BEGIN { printf "%.3f", n + s }')
  while [[ "$(title)" != "$1" ]]; do
    awk -v n="$(now)" -v e="$end" 'BEGIN { exit !(n > e) }' && { echo never; return; }
    sleep 0.02
  done
  awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'
}

start_pa; start_app
key F11
echo "F11: on after $(until_title 'ON - Velmora' 10) s"
sleep 1
kill -STOP "$pa_pid"; sleep 0.3
key F9
echo "F9 with the server frozen: window off after $(until_title Velmora 10) s"
DISPLAY=":$d" import -window root "$shots/frozen-f9.png" 2>/dev/null || true
kill -CONT "$pa_pid"; sleep 0.5

key F11
echo "F11 again once the server answers: on after $(until_title 'ON - Velmora' 10) s"
sleep 1
kill -STOP "$pa_pid"
echo "server frozen while playing, no key: window off after $(until_title Velmora 15) s"
DISPLAY=":$d" import -window root "$shots/frozen-lost.png" 2>/dev/null || true
t0=$(now); key F11; sleep 2
echo "F11 while frozen: title '$(title)' (key answered within $(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }') s)"
DISPLAY=":$d" import -window root "$shots/frozen-open.png" 2>/dev/null || true
kill -CONT "$pa_pid"
echo "screenshots: $shots"
echo "window's stderr:"; cat "$work/velmora.log"
