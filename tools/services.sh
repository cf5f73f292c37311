# Sourced by the test script: starts what the tests need in a private runtime folder and
# stops it again on exit. Sets DISPLAY (Xvfb), DBUS_SESSION_BUS_ADDRESS (a session bus),
# XDG_RUNTIME_DIR and PULSE_SERVER (a PulseAudio server with one null sink, "velmora_null",
# which ALSA's default device reaches through the pulse plugin, kept awake by a silent
# stream), and a PipeWire server with WirePlumber and a null sink (tools/pipewire_server.sh)
# that only programs given PIPEWIRE_RUNTIME_DIR=$VELMORA_PIPEWIRE_RUNTIME reach.

source "$(dirname "${BASH_SOURCE[0]}")/pipewire_server.sh"

velmora_services_stop() {
  local pid
  velmora_pipewire_stop
  for pid in ${VELMORA_SERVICE_PIDS:-}; do kill "$pid" 2>/dev/null || true; done
  for pid in ${VELMORA_SERVICE_PIDS:-}; do wait "$pid" 2>/dev/null || true; done
  [[ -n "${VELMORA_RUNTIME:-}" ]] && rm -rf "$VELMORA_RUNTIME"
  # A shell that goes on must not point later programs at the services just stopped.
  unset VELMORA_SERVICE_PIDS VELMORA_RUNTIME PULSE_SERVER VELMORA_TEST_SINK DISPLAY \
    DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR XDG_CONFIG_HOME HOME_FOR_PULSE \
    VELMORA_PIPEWIRE_RUNTIME VELMORA_PIPEWIRE_PID
}

velmora_services_start() {
  VELMORA_RUNTIME=$(mktemp -d /tmp/velmora-run.XXXXXX)
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

  # X server on the first free display.
  local d=90
  while [[ -e /tmp/.X$d-lock || -e /tmp/.X11-unix/X$d ]]; do d=$((d + 1)); done
  Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp >"$VELMORA_RUNTIME/xvfb.log" 2>&1 &
  VELMORA_SERVICE_PIDS+=" $!"
  export DISPLAY=":$d"

  # PulseAudio with a null sink; its socket lives in our runtime folder.
  HOME="$HOME_FOR_PULSE" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    -L "module-null-sink sink_name=velmora_null rate=48000" \
    -L "module-native-protocol-unix socket=$VELMORA_RUNTIME/pulse.sock auth-anonymous=1" \
    >"$VELMORA_RUNTIME/pulse.log" 2>&1 &
  VELMORA_SERVICE_PIDS+=" $!"
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
  if command -v pipewire >/dev/null && command -v wireplumber >/dev/null &&
    velmora_pipewire_start "$VELMORA_RUNTIME/pipewire"; then
    export VELMORA_PIPEWIRE_RUNTIME VELMORA_PIPEWIRE_SINK VELMORA_PIPEWIRE_SINK_TEXT
  fi

  # Keep the null sink rendering at a short latency, as a sound card's sink does. Left idle
  # it sleeps in 2 s blocks: a new stream then waits about 2 s for its first frames and
  # the server drops the start of what was written meanwhile.
  pacat --playback --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 \
    -d velmora_null /dev/zero >"$VELMORA_RUNTIME/keepalive.log" 2>&1 &
  VELMORA_SERVICE_PIDS+=" $!"
  # The sink takes up the short latency only when the block it was sleeping in ends.
  sleep 2.2
}
