#!/usr/bin/env bash
# velmora-render playing to a real PipeWire server, with no ALSA configuration at all (so
# nothing can reach a sound server through ALSA), captured from the null sink's monitor
# with pw-record.
#
#   play_pipewire.sh RENDER PYTHON CASE
#
#   frames  a 2 s 48 kHz 16-bit stereo noise signal, a 0.1 s one (shorter than the ring,
#           played to the sink picked by its id) and a 24-bit one arrive whole, frame for
#           frame as rendered, the last partial buffer included (PYTHON: with numpy)
#   node    the stream is a node named Velmora with the application's name, icon and role,
#           linked to the default sink
#   list    --list-devices names the server's sink by its description, after "System
#           Default"; without a server the list and the play fall back to ALSA
#   frozen  a server frozen (SIGSTOP) for 3 s while playing is waited out (told, and the
#           play goes on); frozen for longer than --wait 1 it is given up: exit 3, "no
#           longer available"; a server frozen before the start: exit 3, "does not answer"
#   killed  a server killed while playing: exit 3, "no longer available"
#   follow  "System Default" moves to a new default sink; a sink picked by its id stays
#
# frames, node and list use the server of tools/services.sh (VELMORA_PIPEWIRE_RUNTIME);
# frozen, killed and follow start one of their own. Exit 77: no PipeWire here.
set -euo pipefail
render=$1
python=$2
case_=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/tools/pipewire_server.sh"

for tool in pipewire wireplumber pw-record pw-dump; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done

work=$(mktemp -d /tmp/velmora-pwtest.XXXXXX)
pids=()
own_server=0
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if ((own_server)); then velmora_pipewire_stop; fi
  rm -rf "$work"
}
trap cleanup EXIT

if [[ $case_ == frozen || $case_ == killed || $case_ == follow ]]; then
  own_server=1
  velmora_pipewire_start "$work/server" || exit 1
  runtime=$VELMORA_PIPEWIRE_RUNTIME
else
  runtime=${VELMORA_PIPEWIRE_RUNTIME:-}
  if [[ -z "$runtime" || ! -S "$runtime/pipewire-0" ]]; then
    echo "skipped: no PipeWire test server (run through tools/test.sh)"
    exit 77
  fi
fi

# What every program of the test sees: the server, and no ALSA configuration. (Programs
# started in the background are started through env directly, so that $! is the program.)
pw=(env -u PULSE_SERVER PIPEWIRE_RUNTIME_DIR="$runtime" ALSA_CONFIG_PATH=/dev/null)
player=("${pw[@]}" "$render")

# Starts pw-record on the sink's monitor into FILE and returns once it is linked. It asks
# for the server's longest period (8192 frames, which the player's 65536-byte buffers ask
# for too), so that the period does not change when the player comes in, and a machine
# loaded by parallel builds and tests has 170 ms for every period.
record() {
  local file=$1 format=$2
  "${pw[@]}" pw-record --target "$VELMORA_PIPEWIRE_SINK" -P '{ stream.capture.sink = true }' \
    --latency 8192 --rate 48000 --channels 2 --format "$format" "$file" &
  pids+=($!)
  local i
  for i in $(seq 1 100); do
    [[ $("${pw[@]}" pw-link -l 2>/dev/null) == *pw-record:input_FR* ]] && { sleep 0.2; return 0; }
    sleep 0.05
  done
  echo "pw-record did not get linked to the sink" >&2
  return 1
}
stop_recording() {
  sleep 0.3
  local pid=${pids[-1]}
  kill -INT "$pid"
  wait "$pid" || true
  unset 'pids[-1]'
}

# Polls pw-dump until a node named Velmora is linked to a sink; prints the node's properties.
wait_for_node() {
  local i
  for i in $(seq 1 100); do
    if timeout 5 "${pw[@]}" pw-dump >"$work/dump.json" 2>/dev/null &&
      "$python" - "$work/dump.json" <<'PY'; then return 0; fi
import json, sys
objs = json.load(open(sys.argv[1]))
nodes = {o["id"]: o for o in objs if o.get("type") == "PipeWire:Interface:Node"}
ours = [o for o in nodes.values() if o.get("info", {}).get("props", {}).get("node.name") == "Velmora"]
if not ours:
    sys.exit(1)
node = ours[0]
links = [o for o in objs if o.get("type") == "PipeWire:Interface:Link"
         and o.get("info", {}).get("output-node-id") == node["id"]]
if not links:
    sys.exit(1)
sink = nodes.get(links[0]["info"]["input-node-id"], {}).get("info", {}).get("props", {}).get("node.name")
props = node["info"]["props"]
for key in ("node.name", "application.name", "application.icon-name", "media.role", "media.class",
            "media.type", "media.category", "state.restore-props", "state.restore-target", "media.name"):
    value = props.get(key)
    print(f"{key}={str(value).lower() if isinstance(value, bool) else value}")
print(f"linked-to={sink}")
PY
    sleep 0.1
  done
  echo "no node named Velmora appeared linked to a sink" >&2
  return 1
}

fail() { echo "FAIL: $*"; exit 1; }

noise=(SamplingRate=48000 cboChannels=1 WaveFormLeft=4 WaveFormRight=5 AmplitudeLeft=-6 AmplitudeRight=-6)

case $case_ in
frames)
  # The renderer plays the whole signal, the end of its last buffer included.
  check() {  # NAME FORMAT FRAMES PLAY_OPTIONS... -- SETTINGS...
    local name=$1 format=$2 n=$3
    shift 3
    local -a options=()
    while [[ $1 != -- ]]; do options+=("$1"); shift; done
    shift
    "$render" --quiet --seed 7 "$work/$name.wav" "$@" || fail "$name: render"
    record "$work/$name-heard.wav" "$format"
    "${player[@]}" --play "${options[@]}" --seed 7 "$@" 2>"$work/$name.err" || {
      cat "$work/$name.err"; fail "$name: --play exited $?"; }
    stop_recording
    echo "== $name"
    cat "$work/$name.err"
    "$python" "$here/../audio/compare_frames.py" "$work/$name.wav" "$work/$name-heard.wav" "$n" || fail "$name: the sink did not receive the rendered frames"
  }
  # Buffers of 341 ms ride out a machine loaded by parallel builds and tests.
  check noise16 s16 96000 -- "${noise[@]}" Duration=2 BufferSize=65536
  check short16 s16 4800 --device 0 -- "${noise[@]}" Duration=0.1 BufferSize=65536
  check noise24 s32 48000 -- "${noise[@]}" Quantisation=24 Duration=1 BufferSize=65536
  ;;
node)
  "${player[@]}" --play Loop=1 "${noise[@]}" 2>"$work/play.err" &
  pids+=($!)
  wait_for_node >"$work/node.txt" || { cat "$work/play.err"; exit 1; }
  cat "$work/node.txt"
  for want in node.name=Velmora application.name=Velmora application.icon-name=velmora \
    media.role=Production media.class=Stream/Output/Audio media.type=Audio media.category=Playback \
    state.restore-props=false state.restore-target=false \
    "linked-to=$VELMORA_PIPEWIRE_SINK"; do
    grep -qx "$want" "$work/node.txt" || fail "the node lacks $want"
  done
  kill -TERM "${pids[-1]}"
  status=0
  wait "${pids[-1]}" || status=$?
  unset 'pids[-1]'
  [[ $status -eq 0 ]] || { cat "$work/play.err"; fail "a repeating signal stopped by SIGTERM exited $status"; }
  ;;
list)
  "${player[@]}" --list-devices >"$work/list.txt" || fail "--list-devices exited $?"
  cat "$work/list.txt"
  [[ $(sed -n 1p "$work/list.txt") == $'-1\tSystem Default\tpipewire' ]] || fail "entry -1 is not the server's default"
  grep -qx $'0\t'"$VELMORA_PIPEWIRE_SINK_TEXT"$'\tpipewire:'"$VELMORA_PIPEWIRE_SINK" "$work/list.txt" ||
    fail "entry 0 is not the sink by its description"
  # --device by the sink's description or node name (with or without "pipewire:"); a name no
  # device has is a device error.
  for by in "$VELMORA_PIPEWIRE_SINK_TEXT" "$VELMORA_PIPEWIRE_SINK" "pipewire:$VELMORA_PIPEWIRE_SINK"; do
    "${player[@]}" --play --device "$by" "${noise[@]}" Duration=0.2 2>"$work/by.err" ||
      { cat "$work/by.err"; fail "--device '$by' exited $?"; }
  done
  status=0
  "${player[@]}" --play --device "No Such Sink" "${noise[@]}" Duration=0.2 2>"$work/by.err" || status=$?
  cat "$work/by.err"
  [[ $status -eq 3 ]] || fail "--device with an unknown name exited $status, not 3"
  grep -q "no output device is named 'No Such Sink'" "$work/by.err" || fail "the unknown name is not told"
  # No server: ALSA's list (with no configuration, "System Default" alone unless this
  # machine has a sound card), and nothing to play to.
  mkdir -m 700 "$work/empty"
  none() { env -u PULSE_SERVER PIPEWIRE_RUNTIME_DIR="$work/empty" ALSA_CONFIG_PATH=/dev/null "$render" "$@"; }
  none --list-devices >"$work/none.txt" || fail "--list-devices without a server exited $?"
  cat "$work/none.txt"
  [[ $(sed -n 1p "$work/none.txt") == $'-1\tSystem Default\tdefault' ]] || fail "without a server entry -1 is not ALSA's default"
  grep -q pipewire "$work/none.txt" && fail "without a server the list still names PipeWire"
  status=0
  none --play "${noise[@]}" Duration=0.2 2>"$work/none.err" || status=$?
  cat "$work/none.err"
  [[ $status -eq 3 ]] || fail "--play with neither a server nor ALSA exited $status, not 3"
  ;;
frozen)
  # A stall shorter than the wait (3 s of 10) is waited out: told, and played on.
  "${player[@]}" --play Loop=1 "${noise[@]}" 2>"$work/stall.err" &
  pids+=($!)
  wait_for_node >/dev/null || { cat "$work/stall.err"; exit 1; }
  sleep 0.5
  kill -STOP "$VELMORA_PIPEWIRE_PID"
  sleep 3
  kill -CONT "$VELMORA_PIPEWIRE_PID"
  sleep 1.5
  kill -0 "${pids[-1]}" 2>/dev/null || { cat "$work/stall.err"; fail "the player ended during a 3 s stall"; }
  kill -INT "${pids[-1]}"
  status=0
  wait "${pids[-1]}" || status=$?
  unset 'pids[-1]'
  cat "$work/stall.err"
  [[ $status -eq 0 ]] || fail "exit $status after a stall that was waited out, not 0"
  grep -q "The sound server does not answer" "$work/stall.err" || fail "the stall was not told"
  grep -q "the sound server answers again" "$work/stall.err" || fail "the end of the stall was not told"
  ! grep -q "no longer available" "$work/stall.err" || fail "the device was given up"
  # Longer than the wait (--wait 1): given up.
  "${player[@]}" --play --wait 1 Loop=1 "${noise[@]}" 2>"$work/play.err" &
  pids+=($!)
  wait_for_node >/dev/null || { cat "$work/play.err"; exit 1; }
  sleep 0.5
  kill -STOP "$VELMORA_PIPEWIRE_PID"
  start=$(date +%s%N)
  status=0
  wait "${pids[-1]}" || status=$?
  unset 'pids[-1]'
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  cat "$work/play.err"
  echo "frozen while playing: exit $status after $took ms"
  [[ $status -eq 3 ]] || fail "exit $status, not 3"
  grep -q "The audio device is no longer available" "$work/play.err" || fail "no 'no longer available'"
  (( took < 4000 )) || fail "took $took ms to give the server up"
  # Frozen before the start: the open is given up.
  start=$(date +%s%N)
  status=0
  "${player[@]}" --play "${noise[@]}" Duration=1 2>"$work/open.err" || status=$?
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  cat "$work/open.err"
  echo "frozen at the start: exit $status after $took ms"
  [[ $status -eq 3 ]] || fail "exit $status, not 3"
  grep -q "The audio device does not answer" "$work/open.err" || fail "no 'does not answer'"
  (( took < 3000 )) || fail "took $took ms to give the open up"
  ;;
killed)
  "${player[@]}" --play Loop=1 "${noise[@]}" 2>"$work/play.err" &
  pids+=($!)
  wait_for_node >/dev/null || { cat "$work/play.err"; exit 1; }
  sleep 0.5
  kill -KILL "$VELMORA_PIPEWIRE_PID"
  status=0
  wait "${pids[-1]}" || status=$?
  unset 'pids[-1]'
  cat "$work/play.err"
  [[ $status -eq 3 ]] || fail "exit $status, not 3"
  grep -q "The audio device is no longer available" "$work/play.err" || fail "no 'no longer available'"
  ;;
follow)
  "${pw[@]}" pw-cli create-node adapter '{ factory.name = support.null-audio-sink node.name = velmora_second
    node.description = "Second Sink" media.class = Audio/Sink object.linger = true audio.position = [ FL FR ] }' \
    >/dev/null || fail "cannot add a second sink"
  set_default() {
    "${pw[@]}" pw-metadata 0 default.configured.audio.sink "{\"name\":\"$1\"}" Spa:String:JSON >/dev/null
  }
  # Waits until the node is linked to sink $1.
  linked_to() {
    local i
    for i in $(seq 1 30); do
      wait_for_node >"$work/node.txt" 2>/dev/null && grep -qx "linked-to=$1" "$work/node.txt" && return 0
      sleep 0.1
    done
    cat "$work/node.txt"
    return 1
  }
  "${player[@]}" --play Loop=1 "${noise[@]}" 2>"$work/play.err" &
  pids+=($!)
  linked_to "$VELMORA_PIPEWIRE_SINK" || fail "the default stream did not go to the default sink"
  set_default velmora_second
  linked_to velmora_second || fail "the default stream did not follow the new default sink"
  kill -TERM "${pids[-1]}"; wait "${pids[-1]}" || true; unset 'pids[-1]'
  # Picked by its id, the first sink keeps the stream when the default changes.
  "${player[@]}" --list-devices >"$work/list.txt"
  id=$(awk -F'\t' -v n="pipewire:$VELMORA_PIPEWIRE_SINK" '$3 == n { print $1 }' "$work/list.txt")
  [[ -n "$id" ]] || { cat "$work/list.txt"; fail "the sink is not in the list"; }
  "${player[@]}" --play --device "$id" Loop=1 "${noise[@]}" 2>"$work/play.err" &
  pids+=($!)
  linked_to "$VELMORA_PIPEWIRE_SINK" || fail "the picked sink did not get the stream"
  set_default "$VELMORA_PIPEWIRE_SINK"
  set_default velmora_second
  sleep 1
  linked_to "$VELMORA_PIPEWIRE_SINK" || fail "the stream left the sink it was given"
  kill -TERM "${pids[-1]}"; wait "${pids[-1]}" || true; unset 'pids[-1]'
  ;;
*)
  echo "unknown case $case_" >&2
  exit 2
  ;;
esac
echo "ok"
