# Sourced by the test script: starts what the tests need in a private runtime folder and
# stops it again on exit (velmora_services_stop, from an EXIT trap set before the start);
# a guard stops them and removes the folder when the script is killed outright. Sets DISPLAY (Xvfb), DBUS_SESSION_BUS_ADDRESS (a session bus),
# XDG_RUNTIME_DIR and PULSE_SERVER (a PulseAudio server with one null sink, "velmora_null",
# which ALSA's default device reaches through the pulse plugin, kept awake by a silent
# stream), and a PipeWire server with WirePlumber and a null sink (tools/pipewire_server.sh)
# that only programs given PIPEWIRE_RUNTIME_DIR=$VELMORA_PIPEWIRE_RUNTIME reach.

source "$(dirname "${BASH_SOURCE[0]}")/pipewire_server.sh"

# A process that is still running (a zombie, killed but not yet collected, is not).
velmora_alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}

# Ends each process given: TERM, then KILL for one still running after 5 s; collects those
# that are children of this shell.
velmora_end_processes() {
  local pid end=$((SECONDS + 5))
  for pid in "$@"; do kill "$pid" 2>/dev/null || true; done
  for pid in "$@"; do
    while velmora_alive "$pid" && ((SECONDS < end)); do sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

# The guard: a watcher that cleans up after this shell when it cannot do so itself - killed
# with SIGKILL (as a CTest time-out does), or left behind when the process it runs under
# (VELMORA_GUARD_OUTER, e.g. a dbus-run-session) is killed. Once either is gone it sends
# this shell TERM, so that its EXIT trap runs where it still can, then ends every process
# and removes every folder that velmora_guard_add listed. velmora_guard_stop ends the guard
# after a clean exit. Output of the watcher goes nowhere, so that it never keeps a pipe of
# the caller's open.
velmora_guard_start() {
  [[ -n "${VELMORA_GUARD_PID:-}" ]] && return 0
  VELMORA_GUARD_LIST=$(mktemp /tmp/velmora-guard.XXXXXX)
  local shell=$$ outer=${VELMORA_GUARD_OUTER:-}
  (
    trap '' INT HUP
    while kill -0 "$shell" 2>/dev/null && { [[ -z $outer ]] || kill -0 "$outer" 2>/dev/null; }; do sleep 0.5; done
    kill -TERM "$shell" 2>/dev/null || true
    end=$((SECONDS + 10))
    while kill -0 "$shell" 2>/dev/null && ((SECONDS < end)); do sleep 0.1; done
    pids=() dirs=()
    while read -r kind item; do
      if [[ $kind == pid ]]; then pids+=("$item"); else dirs+=("$item"); fi
    done <"$VELMORA_GUARD_LIST"
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    sleep 1
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    for dir in "${dirs[@]}"; do rm -rf "$dir"; done
    rm -f "$VELMORA_GUARD_LIST"
  ) </dev/null >/dev/null 2>&1 &
  VELMORA_GUARD_PID=$!
}

# velmora_guard_add pid PID... | dir FOLDER...: what the guard ends or removes.
velmora_guard_add() {
  [[ -n "${VELMORA_GUARD_LIST:-}" ]] || return 0
  local kind=$1 item
  shift
  for item in "$@"; do printf '%s %s\n' "$kind" "$item" >>"$VELMORA_GUARD_LIST"; done
}

velmora_guard_stop() {
  [[ -n "${VELMORA_GUARD_PID:-}" ]] || return 0
  kill "$VELMORA_GUARD_PID" 2>/dev/null || true
  wait "$VELMORA_GUARD_PID" 2>/dev/null || true
  rm -f "$VELMORA_GUARD_LIST"
  unset VELMORA_GUARD_PID VELMORA_GUARD_LIST
}

# Safe to call at any moment, also half way through velmora_services_start (a Ctrl+C
# there) and more than once.
velmora_services_stop() {
  velmora_pipewire_stop
  # shellcheck disable=SC2086
  velmora_end_processes ${VELMORA_SERVICE_PIDS:-}
  [[ -n "${VELMORA_RUNTIME:-}" ]] && rm -rf "$VELMORA_RUNTIME"
  [[ -n "${VELMORA_SERVICES_GUARDED:-}" ]] && velmora_guard_stop
  # A shell that goes on must not point later programs at the services just stopped.
  unset VELMORA_SERVICE_PIDS VELMORA_RUNTIME PULSE_SERVER VELMORA_TEST_SINK DISPLAY \
    DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR XDG_CONFIG_HOME HOME_FOR_PULSE VELMORA_SERVICES_GUARDED \
    VELMORA_PIPEWIRE_RUNTIME VELMORA_PIPEWIRE_PID
}

velmora_services_start() {
  # An interrupt while the services start ends the script (its EXIT trap stops what has
  # started), even when the program then in the foreground exits normally on it instead of
  # dying of it, which would let the shell go on starting.
  local caller_int
  caller_int=$(trap -p INT)
  trap 'exit 130' INT
  if [[ -z "${VELMORA_GUARD_PID:-}" ]]; then
    velmora_guard_start
    VELMORA_SERVICES_GUARDED=1
  fi
  VELMORA_RUNTIME=$(mktemp -d /tmp/velmora-run.XXXXXX)
  velmora_guard_add dir "$VELMORA_RUNTIME"
  VELMORA_SERVICE_PIDS=""
  export XDG_RUNTIME_DIR="$VELMORA_RUNTIME/xdg"
  export XDG_CONFIG_HOME="$VELMORA_RUNTIME/config"
  export HOME_FOR_PULSE="$VELMORA_RUNTIME/home"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME_FOR_PULSE"

  # Session bus.
  dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
    --address="unix:path=$VELMORA_RUNTIME/bus" 3>"$VELMORA_RUNTIME/bus.addr" 4>"$VELMORA_RUNTIME/bus.pid"
  export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$VELMORA_RUNTIME/bus.addr")
  VELMORA_SERVICE_PIDS+=" $(head -n1 "$VELMORA_RUNTIME/bus.pid")"
  velmora_guard_add pid "$(head -n1 "$VELMORA_RUNTIME/bus.pid")"

  # X server on the first free display.
  local d=90
  while [[ -e /tmp/.X$d-lock || -e /tmp/.X11-unix/X$d ]]; do d=$((d + 1)); done
  Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp >"$VELMORA_RUNTIME/xvfb.log" 2>&1 &
  VELMORA_SERVICE_PIDS+=" $!"
  velmora_guard_add pid $!
  export DISPLAY=":$d"

  # PulseAudio with a null sink; its socket lives in our runtime folder.
  HOME="$HOME_FOR_PULSE" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    -L "module-null-sink sink_name=velmora_null rate=48000" \
    -L "module-native-protocol-unix socket=$VELMORA_RUNTIME/pulse.sock auth-anonymous=1" \
    >"$VELMORA_RUNTIME/pulse.log" 2>&1 &
  VELMORA_SERVICE_PIDS+=" $!"
  velmora_guard_add pid $!
  export PULSE_SERVER="unix:$VELMORA_RUNTIME/pulse.sock"
  export VELMORA_TEST_SINK=velmora_null

  local i
  for i in $(seq 1 100); do
    if [[ -e /tmp/.X11-unix/X$d ]] && pactl info >/dev/null 2>&1; then break; fi
    sleep 0.1
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "PulseAudio did not start:" >&2; cat "$VELMORA_RUNTIME/pulse.log" >&2
  fi
  pactl set-default-sink velmora_null >/dev/null 2>&1 || true

  # The PipeWire server, in a folder and on a session bus of its own. Where it cannot start,
  # the PipeWire tests skip.
  if command -v pipewire >/dev/null && command -v wireplumber >/dev/null; then
    local pipewire_up=0
    velmora_pipewire_start "$VELMORA_RUNTIME/pipewire" && pipewire_up=1
    # shellcheck disable=SC2086
    velmora_guard_add pid ${VELMORA_PIPEWIRE_PIDS:-}
    ((pipewire_up)) && export VELMORA_PIPEWIRE_RUNTIME VELMORA_PIPEWIRE_SINK VELMORA_PIPEWIRE_SINK_TEXT
  fi

  # Keep the null sink rendering at a short latency, as a sound card's sink does. Left idle
  # it sleeps in 2 s blocks: a new stream then waits about 2 s for its first frames and
  # the server drops the start of what was written meanwhile.
  pacat --playback --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 \
    -d velmora_null /dev/zero >"$VELMORA_RUNTIME/keepalive.log" 2>&1 &
  VELMORA_SERVICE_PIDS+=" $!"
  velmora_guard_add pid $!
  # The sink takes up the short latency only when the block it was sleeping in ends.
  sleep 2.2
  if [[ -n $caller_int ]]; then eval "$caller_int"; else trap - INT; fi
}
