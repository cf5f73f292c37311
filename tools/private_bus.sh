# Sourced by the scripts that start velmora: a session bus of the script's own, so that the
# program neither reaches the user's generators nor finds no bus at all (and the script's
# calls reach only its own generators). velmora_private_bus_stop ends it; call it from the
# script's clean-up.
#   velmora_private_bus_start FOLDER   (the bus's socket and files go there)

velmora_private_bus_start() {
  local dir=$1
  dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
    --address="unix:path=$dir/bus" 3>"$dir/bus.addr" 4>"$dir/bus.pid" || return 1
  VELMORA_PRIVATE_BUS_PID=$(head -n1 "$dir/bus.pid")
  # Where the script has a guard (tools/services.sh), it ends the bus too when the script is
  # killed outright.
  if declare -F velmora_guard_add >/dev/null; then velmora_guard_add pid "$VELMORA_PRIVATE_BUS_PID"; fi
  DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$dir/bus.addr")
  export DBUS_SESSION_BUS_ADDRESS
}

velmora_private_bus_stop() {
  if [[ -n "${VELMORA_PRIVATE_BUS_PID:-}" ]]; then
    kill "$VELMORA_PRIVATE_BUS_PID" 2>/dev/null || true
    unset VELMORA_PRIVATE_BUS_PID DBUS_SESSION_BUS_ADDRESS
  fi
}
