#!/usr/bin/env bash
# End to end: "velmora test.zrs" runs the script unattended - its main window never shows -
# and exits with status 0 once the script reaches its 'end' line with every play played,
# and with 1 when it stops short: a sound server that cannot be reached, a signal that
# cannot be prepared (their boxes are answered here as a user would), Cancel (with a line
# on stderr saying where). Each script is run from another folder and names its presets
# by a path relative to itself. A run still going 60 s later is killed.
#   e2e_script_argument.sh <velmora executable> <velmora-write-presets executable>
# Needs what tools/test.sh starts (DISPLAY, PULSE_SERVER); skips (77) without them.
set -u
velmora=$1
writer=$2
if [[ -z "${DISPLAY:-}" || -z "${PULSE_SERVER:-}" ]]; then
  echo "skipped: no X server or PulseAudio (run through tools/test.sh)"
  exit 77
fi
command -v xdotool >/dev/null || { echo "skipped: xdotool missing"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/config/Karvell" "$dir/scripts" "$dir/elsewhere"
echo 'Welcome = boolean true' >"$dir/config/Karvell/Velmora.conf"
before=$(cat "$dir/config/Karvell/Velmora.conf")

"$writer" examples "$dir/scripts/tones.zrx" || exit 1
# The examples last 10 s; here each plays 0.3 s (Duration, a short text at offset 1280 of
# each 3880-byte record after the 21-byte header); memory 3's phase is no number.
python3 - "$dir/scripts/tones.zrx" <<'PY' || exit 1
import sys
p = sys.argv[1]
d = bytearray(open(p, 'rb').read())
for n in range(4):
    o = 21 + 3880 * n + 1280
    d[o:o + 4] = b'\x030.3'
o = 21 + 3880 * 2 + 2060
d[o:o + 4] = b'\x03abc'
open(p, 'wb').write(d)
PY

fail() { echo "FAIL: $*"; cat "$dir/log"; exit 1; }

# run ACTION SCRIPT-TEXT [ENV...]: runs velmora on the script from another folder and sets
# rc. ACTION "answer" presses Return on every box the run shows; "cancel" clicks the script
# window's Cancel once the script runs.
run() {
  local action=$1 text=$2; shift 2
  printf "$text" >"$dir/scripts/test.zrs"
  (cd "$dir/elsewhere" && env XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=xcb "$@" \
    timeout -s KILL 60 "$velmora" ../scripts/test.zrs >"$dir/log" 2>&1) &
  local pid=$! w
  while kill -0 "$pid" 2>/dev/null; do
    case $action in
      answer)
        for w in $(xdotool search --onlyvisible --name '^Velmora$' 2>/dev/null); do
          xdotool key --window "$w" Return 2>/dev/null
        done ;;
      cancel)
        w=$(xdotool search --onlyvisible --name '^ZRX Script$' 2>/dev/null | head -n1)
        if [[ -n "$w" ]]; then
          xdotool mousemove --window "$w" 77 23 click 1 2>/dev/null && action=none
        fi ;;
    esac
    sleep 0.2
  done
  wait "$pid"; rc=$?
}

run answer 'rem two short tones\nplay 1 tones.zrx\nplay 4 tones.zrx\nend\n'
[[ $rc -eq 0 ]] || fail "velmora test.zrs exited $rc"
# The program ended with the script, not through its main window: nothing was saved.
if [[ "$(cat "$dir/config/Karvell/Velmora.conf")" != "$before" ]]; then
  echo "FAIL: the window state was saved after a script run"; exit 1
fi

run answer 'play 1 tones.zrx\nplay 4 tones.zrx\nend\n' PULSE_SERVER=unix:/nonexistent
[[ $rc -eq 1 ]] || fail "no sound server: exited $rc, not 1"
grep -q "stopped in line 1" "$dir/log" || fail "no sound server: no line saying where"

run answer 'play 3 tones.zrx\nplay 4 tones.zrx\nend\n'
[[ $rc -eq 1 ]] || fail "signal not prepared: exited $rc, not 1"
grep -q "stopped in line 1" "$dir/log" || fail "signal not prepared: no line saying where"

run cancel 'play 1 tones.zrx\ndelay 30\nend\n'
[[ $rc -eq 1 ]] || fail "Cancel: exited $rc, not 1"
grep -q "cancelled in line" "$dir/log" || fail "Cancel: no line saying where"
echo PASS
