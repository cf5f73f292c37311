#!/usr/bin/env bash
# Generators in step: two (then three) generator processes on a private session bus, a
# private X server and a null sink each. "Sync all Generators" is checked in the first
# only (message 1027): its ON starts both, the second's ON starts only the second; a Pause
# broadcast pauses the running one and marks the idle one's next start as paused; with a
# third one frozen (SIGSTOP) the second still follows ON and OFF at once. The second and
# third call themselves "Velmora 2" and "Velmora 3"; every one has the bus title "Velmora".
#   e2e_sync.sh <velmora executable>
set -euo pipefail
# A session bus of its own, so that no other generator hears the broadcasts.
if [[ -z "${VELMORA_PRIVATE_BUS:-}" ]]; then
  command -v dbus-run-session >/dev/null || { echo "skipped: dbus-run-session missing"; exit 77; }
  VELMORA_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
velmora=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/generators_lib.sh"
trap gl_cleanup EXIT
gl_require Xvfb xdotool gdbus pactl parec pacat python3
gl_start_x
gl_sound_server

gl_sink "sync_a_$$"
gl_sink "sync_b_$$"
gl_start A "sync_a_$$"
gl_start B "sync_b_$$"
a="sync_a_$$" b="sync_b_$$"
fail() { echo "FAIL: $*"; gl_logs; exit 1; }

echo "- the second generator is numbered 2 in its title; both keep the bus title that groups them"
prop() {
  gdbus call --session --dest "org.velmora.Generator.p$1" --object-path /Generator \
    --method org.freedesktop.DBus.Properties.Get org.velmora.Generator "$2"
}
gl_expect_title "$A" "Velmora" || fail "the first is not plain Velmora"
gl_expect_title "$B" "Velmora 2" || fail "the second is not Velmora 2"
[[ "$(prop "$A" Title)" == "(<'Velmora'>,)" && "$(prop "$B" Title)" == "(<'Velmora'>,)" ]] ||
  fail "the bus titles differ: $(prop "$A" Title) $(prop "$B" Title)"
[[ "$(prop "$A" Number)" == "(<uint32 1>,)" && "$(prop "$B" Number)" == "(<uint32 2>,)" ]] ||
  fail "the numbers are $(prop "$A" Number) and $(prop "$B" Number)"

echo "- sync checked in the first only; ON in the first starts both"
gl_call "$A" 1027 1 0 >/dev/null
gl_keys "$A" F11
gl_expect_title "$A" "ON - Velmora" || fail "the first did not start"
gl_expect_title "$B" "ON - Velmora 2" || fail "the second did not follow the first"
gl_loud "$a" || fail "nothing heard from the first"
gl_loud "$b" || fail "nothing heard from the second"

echo "- OFF in the first stops both"
gl_keys "$A" F9
gl_expect_title "$A" "Velmora" || fail "the first did not stop"
gl_expect_title "$B" "Velmora 2" || fail "the second did not stop with the first"

echo "- ON in the second starts only the second"
gl_keys "$B" F11
gl_expect_title "$B" "ON - Velmora 2" || fail "the second did not start"
# The first would have had its start message before the second's own start notice.
gl_silent "$a" || fail "the first started with the second"
gl_title_is "$A" "Velmora" || fail "the first started with the second"

echo "- Pause from the first while the second runs and the first is off"
gl_keys "$A" F10
gl_silent "$b" || fail "the running second did not pause"
gl_title_is "$B" "ON - Velmora 2" || fail "pausing switched the second off"
gl_call "$A" 1027 0 0 >/dev/null   # the first alone from here
gl_keys "$A" F11
gl_expect_title "$A" "ON - Velmora" || fail "the first did not start"
gl_silent "$a" || fail "the first's start was not marked paused"
gl_keys "$A" F10
gl_loud "$a" || fail "the first did not resume"
gl_keys "$A" F9
gl_keys "$B" F9
gl_expect_title "$A" "Velmora" || fail "the first did not stop"
gl_expect_title "$B" "Velmora 2" || fail "the second did not stop"

echo "- a frozen third generator delays nobody: the second follows ON and OFF at once"
gl_sink "sync_c_$$"
gl_start C "sync_c_$$"
kill -STOP "$C"
gl_call "$A" 1027 1 0 >/dev/null
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
gl_keys "$A" F11
t0=$(date +%s%N)
gl_expect_title "$B" "ON - Velmora 2" || fail "the second did not follow past the frozen third"
on_ms=$(ms_since "$t0")
gl_expect_title "$A" "ON - Velmora" || fail "the first did not start past the frozen third"
gl_loud "$b" || fail "nothing heard from the second"
gl_keys "$A" F9
t0=$(date +%s%N)
gl_expect_title "$B" "Velmora 2" || fail "the second did not stop past the frozen third"
off_ms=$(ms_since "$t0")
gl_expect_title "$A" "Velmora" || fail "the first did not stop past the frozen third"
echo "  with the third frozen, the second was on $on_ms ms after F11 and off $off_ms ms after F9"
# Waiting for the frozen one's answer (2 s) before anything else was the fault; a loaded
# machine gets some slack below that.
((on_ms < 1500)) || fail "the second followed F11 only after $on_ms ms"
((off_ms < 1500)) || fail "the second followed F9 only after $off_ms ms"
kill -CONT "$C"
# Asked only for its title while frozen, the third was sent no message.
gl_silent "sync_c_$$" || fail "the third played once it ran again"
gl_title_is "$C" "Velmora 3" || fail "the third switched once it ran again"
# The first still answers at once.
timeout 5 gdbus call --session --dest "org.velmora.Generator.p$A" --object-path /Generator \
  --method org.freedesktop.DBus.Properties.Get org.velmora.Generator Title >/dev/null || fail "the first stopped answering"
gl_call "$A" 1027 0 0 >/dev/null

echo "- File › Open New Generator Window (Ctrl+N) starts another generator"
gl_keys "$C" F9
before=$(gl_bus_pids | wc -l)
gl_keys "$C" ctrl+n
more_than() { (($(gl_bus_pids | wc -l) > $1)); }
gl_wait 30 more_than "$before" ||
  fail "no new generator appeared on the bus"
for pid in $(gl_bus_pids); do
  [[ " $A $B $C " == *" $pid "* ]] && continue
  gl_track "$pid"   # stopped at the end with the others
  gl_wait 30 gl_window "$pid" >/dev/null || fail "the new generator has no window"
  tr '\0' ' ' </proc/"$pid"/cmdline | grep -q -- "/nosplash" || fail "the new generator was not started with /nosplash"
done
echo "ok"
