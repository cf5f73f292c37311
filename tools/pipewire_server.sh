# Sourced: a headless PipeWire server with WirePlumber and one null sink, in a folder of its
# own and on a session bus of its own, for the tests that play to a real PipeWire server.
#
#   velmora_pipewire_start DIR   starts it; DIR (made if missing) holds everything it writes.
#                                Sets VELMORA_PIPEWIRE_RUNTIME (the folder of its socket: a
#                                client reaches it with PIPEWIRE_RUNTIME_DIR set to it),
#                                VELMORA_PIPEWIRE_PID (the server), VELMORA_PIPEWIRE_SINK (the
#                                null sink's node name) and VELMORA_PIPEWIRE_SINK_TEXT (its
#                                description). Returns 1 when the server did not come up.
#   velmora_pipewire_also CMD... starts CMD in the background in the server's environment
#                                (pipewire-pulse, for instance), stopped with the server.
#   velmora_pipewire_stop        stops what the last start started (DIR is the caller's).
#
# Nothing of it is exported to the rest of the environment: a program reaches the server only
# when it is given PIPEWIRE_RUNTIME_DIR, so tests that play through ALSA's sound server
# plug-in are not led to it.

VELMORA_PIPEWIRE_SINK=velmora_pw_null
VELMORA_PIPEWIRE_SINK_TEXT="Velmora Test Sink"

velmora_pipewire_start() {
  local dir=$1
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  VELMORA_PIPEWIRE_RUNTIME="$dir/run"
  VELMORA_PIPEWIRE_PIDS=""
  VELMORA_PIPEWIRE_PID=""
  mkdir -p -m 700 "$VELMORA_PIPEWIRE_RUNTIME" "$dir/config/pipewire/pipewire.conf.d" "$dir/state" "$dir/home"
  # The null sink runs at 48 kHz (the graph's rate) in the graph's own sample format. Periods
  # may grow to 8192 frames where every stream asks for that much latency, which a machine
  # busy with parallel builds and tests needs.
  cat >"$dir/config/pipewire/pipewire.conf.d/50-velmora-null-sink.conf" <<EOF
context.properties = {
  default.clock.max-quantum = 8192
}
context.objects = [
  { factory = adapter
    args = {
      factory.name     = support.null-audio-sink
      node.name        = "$VELMORA_PIPEWIRE_SINK"
      node.description = "$VELMORA_PIPEWIRE_SINK_TEXT"
      media.class      = "Audio/Sink"
      audio.rate       = 48000
      audio.channels   = 2
      audio.position   = "FL,FR"
      object.linger    = true
    }
  }
]
EOF
  # A session bus of its own: WirePlumber asks it for device reservations and the like.
  dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
    --address="unix:path=$dir/bus" 3>"$dir/bus.addr" 4>"$dir/bus.pid"
  VELMORA_PIPEWIRE_PIDS+=" $(head -n1 "$dir/bus.pid")"
  VELMORA_PIPEWIRE_ENV=(env -u DISPLAY -u PULSE_SERVER
    DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$dir/bus.addr")"
    XDG_RUNTIME_DIR="$VELMORA_PIPEWIRE_RUNTIME" PIPEWIRE_RUNTIME_DIR="$VELMORA_PIPEWIRE_RUNTIME"
    XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state" HOME="$dir/home")
  "${VELMORA_PIPEWIRE_ENV[@]}" pipewire >"$dir/pipewire.log" 2>&1 &
  VELMORA_PIPEWIRE_PID=$!
  VELMORA_PIPEWIRE_PIDS+=" $VELMORA_PIPEWIRE_PID"
  local i
  for i in $(seq 1 100); do
    [[ -S "$VELMORA_PIPEWIRE_RUNTIME/pipewire-0" ]] && break
    sleep 0.05
  done
  "${VELMORA_PIPEWIRE_ENV[@]}" wireplumber >"$dir/wireplumber.log" 2>&1 &
  VELMORA_PIPEWIRE_PIDS+=" $!"
  # Up once the session manager has made the null sink the default one.
  for i in $(seq 1 100); do
    if PIPEWIRE_RUNTIME_DIR="$VELMORA_PIPEWIRE_RUNTIME" pw-metadata 0 default.audio.sink 2>/dev/null |
      grep -q "$VELMORA_PIPEWIRE_SINK"; then
      return 0
    fi
    sleep 0.1
  done
  echo "PipeWire did not start:" >&2
  cat "$dir/pipewire.log" "$dir/wireplumber.log" >&2
  return 1
}

velmora_pipewire_also() {
  "${VELMORA_PIPEWIRE_ENV[@]}" "$@" &
  VELMORA_PIPEWIRE_PIDS+=" $!"
}

velmora_pipewire_stop() {
  local pid
  # A frozen server must be woken to take its signal.
  for pid in ${VELMORA_PIPEWIRE_PIDS:-}; do kill -CONT "$pid" 2>/dev/null || true; kill "$pid" 2>/dev/null || true; done
  for pid in ${VELMORA_PIPEWIRE_PIDS:-}; do wait "$pid" 2>/dev/null || true; done
  # dbus-daemon forked away from this shell: wait for it by its id.
  for pid in ${VELMORA_PIPEWIRE_PIDS:-}; do
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
  done
  VELMORA_PIPEWIRE_PIDS=""
}
