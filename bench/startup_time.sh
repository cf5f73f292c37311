#!/usr/bin/env bash
# Start-up time of the generator window against a bare Qt window, side by side in one run on
# one private X server (with its session bus and sound server): each round starts each, in
# turn, and map_timer measures from the start of the program to its first window mapped.
# A third program, controls_window, shows the generator's main window with its controls
# only (no engine, device, kept state or link): the part of the start the controls alone
# take, whatever the generator does around them.
# The generator starts as a returning user's does: a kept window state in the store, the
# welcome question silenced, no splash (--nosplash).
#
#   bench/startup_time.sh [BUILD_DIR] [ROUNDS]        (ROUNDS at least 9, 15 by default)
#
# Prints every round, then the medians and their ratios to the bare window's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-15}
(( rounds >= 9 )) || { echo "at least 9 rounds" >&2; exit 2; }
timer="$build/bench/map_timer"
bare="$build/bench/bare_window"
controls="$build/bench/controls_window"
velmora="$build/app/velmora"
for p in "$timer" "$bare" "$controls" "$velmora"; do [[ -x "$p" ]] || { echo "missing: $p" >&2; exit 2; }; done
command -v xdotool >/dev/null || { echo "needs xdotool" >&2; exit 2; }

source "$root/tools/services.sh"
velmora_services_start
trap velmora_services_stop EXIT

# A kept window state: one start with the welcome question silenced, closed with Ctrl+X
# ("Exit") so that it saves what a user's closing saves.
mkdir -p "$XDG_CONFIG_HOME/Karvell"
printf 'Welcome = boolean true\n' >"$XDG_CONFIG_HOME/Karvell/Velmora.conf"
"$velmora" --nosplash &
pid=$!
window=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Velmora$' | head -n1)
xdotool windowfocus --sync "$window" key ctrl+x
wait "$pid" || true
lines=$(grep -c '=' "$XDG_CONFIG_HOME/Karvell/Velmora.conf")
(( lines > 40 )) || { echo "the window state was not saved ($lines values)" >&2; exit 1; }

# One unmeasured start of each, so that both find their libraries in the page cache.
"$timer" "$bare" >/dev/null
"$timer" "$controls" >/dev/null
"$timer" "$velmora" --nosplash >/dev/null

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
bare_ms=() controls_ms=() velmora_ms=()
for ((i = 1; i <= rounds; i++)); do
  b=$("$timer" "$bare")
  c=$("$timer" "$controls")
  v=$("$timer" "$velmora" --nosplash)
  bare_ms+=("$b")
  controls_ms+=("$c")
  velmora_ms+=("$v")
  printf 'round %2d: bare %7.1f ms   controls only %7.1f ms   velmora %7.1f ms\n' "$i" "$b" "$c" "$v"
done
mb=$(printf '%s\n' "${bare_ms[@]}" | median)
mc=$(printf '%s\n' "${controls_ms[@]}" | median)
mv=$(printf '%s\n' "${velmora_ms[@]}" | median)
awk -v b="$mb" -v c="$mc" -v v="$mv" -v n="$rounds" 'BEGIN {
  printf "medians of %d: bare window %.1f ms, controls only %.1f ms, velmora %.1f ms\n", n, b, c, v
  printf "ratios to the bare window: controls only %.2f, velmora %.2f\n", c / b, v / b
}'
