#!/usr/bin/env bash
# velmora-render --play --script: a script plays two presets with a delay and ends (exit 0);
# one that runs past its last line or names a memory outside 1-4 exits 1 with the line's
# message; a table of scripts run from another folder checks the statuses 0, 1 and 3 and
# what stderr says; a repeating script plays on until SIGINT (exit 130); 'pause' without a
# terminal goes on at once.
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

# Statuses and messages, each script run from another folder with its presets beside it
# (relative paths): a table of cases.
mkdir -p "$dir/scripts" "$dir/elsewhere"
python3 - "$dir/my presets.zrx" "$dir/scripts/mixed.zrx" <<'PY' || exit 1
import sys
d = bytearray(open(sys.argv[1], 'rb').read())
def text(n, offset, s):
    o = 21 + 3880 * n + offset
    d[o] = len(s); d[o + 1:o + 1 + len(s)] = s.encode('cp1252')
text(0, 2060, 'abc')                     # memory 1: PhaseEdit is no number
d[21 + 3880 * 2:21 + 3880 * 3] = bytes(3880)  # memory 3: empty
open(sys.argv[2], 'wb').write(d)
PY
echo "shopping list" >"$dir/scripts/notes.txt"
esc=$(printf '\033]0;retitled\007\033[2J')
# name | environment | script lines (\n) | status | stderr must hold | stdout must not hold
cases=(
  "all played||play 2 mixed.zrx\nplay 4 mixed.zrx\nend|0||"
  "no sound server|PULSE_SERVER=unix:/nonexistent|play 2 mixed.zrx\nplay 4 mixed.zrx\nend|3|line 1: Sound Device Error|Line 2:"
  "signal not prepared||play 1 mixed.zrx\nplay 2 mixed.zrx\nend|1|line 1: ../scripts/mixed.zrx, memory 1, PhaseEdit: 'abc' is not a valid floating point value|Line 2:"
  "empty memory||play 3 mixed.zrx\nplay 2 mixed.zrx\nend|1|line 1: ../scripts/mixed.zrx, memory 3: the memory is empty|Line 2:"
  "not a preset file||play 1 notes.txt\nplay 2 mixed.zrx\nend|1|notes.txt: not a preset file|Line 2:"
  "missing file goes on||play 1 gone.zrx\nplay 2 mixed.zrx\nend|1|FILE NOT FOUND: 'gone.zrx'.|"
  "loop without waiting||rem a\nrem b\nrepeat|1|Endless loop in line 3|"
  "control characters||rem ${esc}\nplay 2 mixed.zrx\nend|0||$(printf '\033')"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name env lines want err notout <<<"$c"
  printf "$lines\n" >"$dir/scripts/case.zrs"
  (cd "$dir/elsewhere" && env $env "$render" --play --script ../scripts/case.zrs </dev/null >"$dir/out" 2>"$dir/err"); rc=$?
  [[ $rc -eq $want ]] || fail "$name: exit $rc, not $want"
  [[ -z "$err" ]] || grep -qF -- "$err" "$dir/err" || fail "$name: no '$err' on stderr"
  [[ -z "$notout" ]] || ! grep -qF -- "$notout" "$dir/out" "$dir/err" || fail "$name: '$notout' in the output"
  if [[ $want -eq 0 ]]; then grep -q "^Line 3: end" "$dir/out" || fail "$name: did not reach the end"; fi
done
"$render" --play --script "$dir/two.zrs" --script "$dir/past.zrs" </dev/null >"$dir/out" 2>"$dir/err"; rc=$?
[[ $rc -eq 2 ]] || fail "--script twice: exit $rc"
grep -q "given twice" "$dir/err" || fail "--script twice: wrong message"

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
