#!/usr/bin/env bash
# What the test scripts start is gone once they end, however they end: killed outright
# (SIGKILL, as a CTest time-out does), with their outer dbus-run-session killed, or
# interrupted (Ctrl+C) half way through starting the services. Each case records the
# processes and folders the script had, ends it, and expects them all gone within a few
# seconds.
#   services_cleanup.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in Xvfb pulseaudio pacat pactl dbus-daemon dbus-run-session pgrep setsid; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A script that starts the services and records what it has, then waits to be ended (in
# short sleeps: a sleep of a killed script lives on by itself; its output goes to a file,
# so that nothing left running holds this test's output open).
cat >"$work/starts_services.sh" <<EOS
source "$root/tools/services.sh"
trap velmora_services_stop EXIT
velmora_services_start
echo "\$VELMORA_SERVICE_PIDS \$VELMORA_GUARD_PID" >"\$1.pids"
echo "\$VELMORA_RUNTIME" >"\$1.dirs"
while :; do sleep 0.5; done
EOS
# A test of several generators under a bus of its own (as e2e_sync.sh): its own X server,
# the sound server, a recorder.
cat >"$work/generators.sh" <<EOS
if [[ -z "\${VELMORA_PRIVATE_BUS:-}" ]]; then
  VELMORA_PRIVATE_BUS=1 exec dbus-run-session -- bash "\$0" "\$@"
fi
unset PULSE_SERVER
source "$root/tests/ui/generators_lib.sh"
trap gl_cleanup EXIT
gl_start_x
gl_sound_server
gl_sink "cleanup_\$\$"
echo "\${gl_pids[*]} \$VELMORA_SERVICE_PIDS \$VELMORA_GUARD_PID \$gl_session_bus \$\$" >"\$1.pids"
echo "\$gl_work \$VELMORA_RUNTIME" >"\$1.dirs"
while :; do sleep 0.5; done
EOS

# expect_gone NAME: every recorded process and folder is gone within 15 s.
expect_gone() {
  local name=$1 pid dir left end=$((SECONDS + 15))
  while :; do
    left=""
    for pid in $(cat "$work/$name.pids"); do
      state=$(ps -o stat= -p "$pid" 2>/dev/null) && [[ $state != Z* ]] && left+=" process $pid ($(ps -o comm= -p "$pid"))"
    done
    for dir in $(cat "$work/$name.dirs"); do [[ -e $dir ]] && left+=" folder $dir"; done
    [[ -z $left ]] && return 0
    ((SECONDS < end)) || { fail "$name: left behind:$left"; return 1; }
    sleep 0.2
  done
}
# started NAME: waits until the script has recorded what it started.
started() {
  local end=$((SECONDS + 30))
  until [[ -s "$work/$1.dirs" ]]; do ((SECONDS < end)) || { fail "$1 did not start"; return 1; }; sleep 0.1; done
}

echo "== the script killed with SIGKILL"
env -u PULSE_SERVER bash "$work/starts_services.sh" "$work/killed" >"$work/killed.log" 2>&1 &
pid=$!
started killed && { kill -KILL "$pid"; wait "$pid" 2>/dev/null; expect_gone killed; }

echo "== its outer dbus-run-session killed with SIGKILL"
bash "$work/generators.sh" "$work/outer" >"$work/outer.log" 2>&1 &
pid=$!
if started outer; then
  ps -o comm= -p "$pid" | grep -q dbus-run-sessio || fail "the outer process is not dbus-run-session"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  expect_gone outer
fi

echo "== Ctrl+C while the services start"
# The script as a terminal's foreground job: a process group of its own with the interrupt
# not ignored (a background job of this shell would ignore it); the interrupt reaches every
# process in the group, as Ctrl+C does.
python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.setsid(); os.execvp(sys.argv[1], sys.argv[1:])' \
  bash -c 'echo $$ >"$1"; trap velmora_services_stop EXIT; source "$0/tools/services.sh"; velmora_services_start; sleep 300' \
  "$root" "$work/group" >"$work/interrupted.log" 2>&1 &
pid=$!
# Once the sound server runs, the start still waits for it and lets the sink settle (2 s).
runtime="" end=$((SECONDS + 20))
while [[ -z $runtime ]] && ((SECONDS < end)); do
  sleep 0.05
  [[ -s "$work/group" ]] || continue
  runtime=$(pgrep -a -g "$(cat "$work/group")" pulseaudio | sed -n 's|.*socket=\(/tmp/velmora-run\.[^/]*\)/pulse\.sock.*|\1|p')
done
if [[ -z $runtime ]]; then
  fail "the sound server did not start"
else
  # What exists now, recorded before the interrupt: the processes of the group, the bus
  # daemon (which has left it), the folder.
  { pgrep -g "$(cat "$work/group")" | grep -vx "$(cat "$work/group")"; cat "$runtime/bus.pid"; } >"$work/interrupted.pids"
  echo "$runtime" >"$work/interrupted.dirs"
  kill -INT -- "-$(cat "$work/group")"
  wait "$pid" 2>/dev/null
  expect_gone interrupted
fi

((failures == 0)) && echo "all gone"
exit $((failures > 0))
