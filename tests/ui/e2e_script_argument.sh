#!/usr/bin/env bash
# End to end: "velmora test.zrs" runs the script unattended - its main window never shows -
# and exits with status 0 once the script ends at its 'end' line. The program is killed
# when it is still running 60 s later.
#   e2e_script_argument.sh <velmora executable> <velmora-write-presets executable>
# Needs what tools/test.sh starts (DISPLAY, PULSE_SERVER); skips (77) without them.
set -u
velmora=$1
writer=$2
if [[ -z "${DISPLAY:-}" || -z "${PULSE_SERVER:-}" ]]; then
  echo "skipped: no X server or PulseAudio (run through tools/test.sh)"
  exit 77
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/config/Karvell"
echo 'Welcome = boolean true' >"$dir/config/Karvell/Velmora.conf"
before=$(cat "$dir/config/Karvell/Velmora.conf")

"$writer" examples "$dir/tones.zrx" || exit 1
# The examples last 10 s; here each plays 0.3 s (Duration, a short text at offset 1280 of
# each 3880-byte record after the 21-byte header).
python3 - "$dir/tones.zrx" <<'PY' || exit 1
import sys
p = sys.argv[1]
d = bytearray(open(p, 'rb').read())
for n in range(4):
    o = 21 + 3880 * n + 1280
    d[o:o + 4] = b'\x030.3'
open(p, 'wb').write(d)
PY
printf 'rem two short tones\nplay 1 %s\nplay 4 %s\nend\n' "$dir/tones.zrx" "$dir/tones.zrx" >"$dir/test.zrs"

XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=xcb timeout -s KILL 60 "$velmora" "$dir/test.zrs" >"$dir/log" 2>&1
rc=$?
if [[ $rc -ne 0 ]]; then
  echo "FAIL: velmora test.zrs exited $rc"; cat "$dir/log"; exit 1
fi
# The program ended with the script, not through its main window: nothing was saved.
if [[ "$(cat "$dir/config/Karvell/Velmora.conf")" != "$before" ]]; then
  echo "FAIL: the window state was saved after a script run"; exit 1
fi
echo PASS
