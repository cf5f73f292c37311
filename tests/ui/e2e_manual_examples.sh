#!/usr/bin/env bash
# The remote-control examples of velmora(1) work as printed: the manual page is formatted
# with man, its example lines are run by bash against a generator on a private session
# bus, X server and null sink, and the generator then holds what the text says they set
# (read from the settings store it writes when closed).
#   e2e_manual_examples.sh <velmora executable> <velmora.1>
set -euo pipefail
if [[ -z "${VELMORA_PRIVATE_BUS:-}" ]]; then
  command -v dbus-run-session >/dev/null || { echo "skipped: dbus-run-session missing"; exit 77; }
  VELMORA_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
velmora=$1
page=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/generators_lib.sh"
trap gl_cleanup EXIT
gl_require Xvfb xdotool gdbus dbus-send pactl parec pacat python3 man
gl_start_x
gl_sound_server
fail() { echo "FAIL: $*"; gl_logs; exit 1; }

# The examples as a reader sees them, from the paragraph that finds the generators to the
# end of the section.
man -l "$page" 2>/dev/null | col -bx >"$gl_work/page.txt" || fail "man cannot format $page"
sed -n '/^ *Find the generators on the session bus/,/^SEE ALSO/p' "$gl_work/page.txt" |
  grep -E '^ {10,}' | sed 's/^ *//' >"$gl_work/examples.sh"
grep -q 'call 1024 0 0' "$gl_work/examples.sh" || { cat "$gl_work/page.txt"; fail "no examples found"; }

gl_sink "manual_$$"
gl_start A "manual_$$"
echo "- the manual's examples, run as printed"
bash -euo pipefail "$gl_work/examples.sh" >"$gl_work/examples.out" 2>&1 || {
  cat "$gl_work/examples.sh" "$gl_work/examples.out"; fail "the examples do not run"; }
cat "$gl_work/examples.out"
grep -q "^org\.velmora\.Generator\.p$A$" "$gl_work/examples.out" || fail "the generator was not listed"
grep -q "(<'Velmora'>,)" "$gl_work/examples.out" || fail "the title was not read"
# The last example starts the generator again.
gl_expect_title "$A" "ON - Velmora" || fail "dbus-send did not start the generator"
gl_call "$A" 1025 0 0 >/dev/null
gl_expect_title "$A" "Velmora" || fail "the generator did not stop"

echo "- the generator holds what the examples set"
config=$(ls -d "$gl_work"/config.*)
gl_keys "$A" ctrl+x
gl_wait 20 bash -c "! kill -0 $A 2>/dev/null" || fail "the window did not close"
store="$config/Karvell/Velmora.conf"
expect() {
  grep -qx "$1 = $2" "$store" || { cat "$store"; fail "$1 is not $2"; }
}
expect fInitLeft 'text "1000.5"'
expect AmplitudeLeft 'text "-6"'
expect WaveFormLeft 'integer 0'
expect mono 'boolean false'
expect LeftTick 'boolean true'
expect RightTick 'boolean true'
expect WaveFormRight 'integer 5'
expect AmplitudeRight 'text "-20"'
expect ModulationOnLeft 'boolean true'
expect ModulationOnRight 'boolean true'
expect ModPeriodLeftEdit 'text "2"'
expect ModPeriodRightEdit 'text "2"'
expect ModDepthLeftEdit 'text "50"'
expect ModDepthRightEdit 'text "25"'
expect ModPhaseRightEdit 'text "90"'
echo "ok"
