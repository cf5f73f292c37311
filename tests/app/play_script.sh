#!/usr/bin/env bash
# velmora-render --play --script: a script plays two presets with a delay and ends (exit 0);
# one that runs past its last line or names a memory outside 1-4 exits 1 with the line's
# message; a repeating script plays on until SIGINT (exit 130); 'pause' without a terminal
# goes on at once.
set -u
render=$1
writer=$2
if [[ -z "${PULSE_SERVER:-}" ]]; then echo "no PulseAudio server: skipped"; exit 77; fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$writer" examples "$dir/my presets.zrx" || exit 1
# The examples last 10 s; the script plays them for 0.3 s each (Duration is a short text
# at offset 1280 of each 3880-byte record after the 21-byte header).
python3 - "$dir/my presets.zrx" <<'PY' || exit 1
import sys
p = sys.argv[1]
d = bytearray(open(p, 'rb').read())
for n in range(4):
    o = 21 + 3880 * n + 1280
    d[o:o + 4] = b'\x030.3'
open(p, 'wb').write(d)
PY

fail() { echo "FAIL: $*"; cat "$dir/err" 2>/dev/null; exit 1; }

printf 'rem two tones\nplay 1 %s\ndelay 1,5\nPause Level\nplay 4 %s \nend\n' "$dir/my presets.zrx" "$dir/my presets.zrx" >"$dir/two.zrs"
start=$(date +%s%N)
"$render" --play --script "$dir/two.zrs" </dev/null >"$dir/out" 2>"$dir/err"; rc=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
[[ $rc -eq 0 ]] || fail "two presets: exit $rc"
# 0.3 s + 1.5 s + 0.3 s at least: the delay after a play is not cut short.
[[ $elapsed_ms -ge 2000 ]] || fail "two presets took only $elapsed_ms ms"
grep -q "^Line 2: play 1" "$dir/out" || fail "no line 2 in $(cat "$dir/out")"
grep -q "^Level $" "$dir/out" || fail "pause text missing: $(cat "$dir/out")"
grep -q "^Line 6: end" "$dir/out" || fail "did not reach the end"

printf 'play 1 %s\n' "$dir/my presets.zrx" >"$dir/past.zrs"
"$render" --play --script "$dir/past.zrs" </dev/null >"$dir/out" 2>"$dir/err"; rc=$?
[[ $rc -eq 1 ]] || fail "past the end: exit $rc"
grep -q "^velmora-render: Invalid command in line 2$" "$dir/err" || fail "past the end: wrong message"

printf 'play 7 %s\nend\n' "$dir/my presets.zrx" >"$dir/seven.zrs"
"$render" --play --script "$dir/seven.zrs" </dev/null >"$dir/out" 2>"$dir/err"; rc=$?
[[ $rc -eq 1 ]] || fail "memory 7: exit $rc"
grep -q "Invalid preset number in line 1" "$dir/err" || fail "memory 7: wrong message"

printf 'play 2 %s\nrepeat\n' "$dir/my presets.zrx" >"$dir/loop.zrs"
"$render" --play --script "$dir/loop.zrs" </dev/null >"$dir/out" 2>"$dir/err" &
pid=$!
sleep 1.5
kill -0 "$pid" 2>/dev/null || fail "repeating script stopped by itself"
kill -INT "$pid"
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then kill -9 "$pid"; fail "still running 5 s after SIGINT"; fi
wait "$pid"; rc=$?
[[ $rc -eq 130 ]] || fail "repeat: exit $rc after SIGINT"
[[ $(grep -c "^Line 1: play 2" "$dir/out") -ge 2 ]] || fail "repeat played once only"
echo PASS
