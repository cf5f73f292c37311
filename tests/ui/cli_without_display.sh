#!/usr/bin/env bash
# velmora where no display can be reached (X platform): one line that names the display and
# points at velmora-render, status 1, before any window is made - also with a script file
# to run. A mistyped option is one line with its control characters escaped, status 2.
#   cli_without_display.sh <velmora executable>
set -uo pipefail
velmora=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
printf 'play 1\nend\n' >"$work/test.zrs"

# check NAME STATUS PATTERN ENV... -- ARGS...: one line on stderr matching PATTERN, nothing
# on stdout, the status.
check() {
  local name=$1 want=$2 pattern=$3 status lines
  shift 3
  local envs=()
  while [[ $1 != -- ]]; do envs+=("$1"); shift; done
  shift
  env "${envs[@]}" timeout 20 "$velmora" "$@" >"$work/out" 2>"$work/err"
  status=$?
  lines=$(wc -l <"$work/err")
  [[ $status == "$want" ]] || fail "$name: status $status, not $want"
  [[ $lines == 1 ]] || fail "$name: $lines lines on stderr: $(cat "$work/err")"
  grep -qE "$pattern" "$work/err" || fail "$name: '$(cat "$work/err")' does not match $pattern"
  [[ ! -s "$work/out" ]] || fail "$name: wrote to stdout"
  [[ -z $(tr -d '[:print:]\n' <"$work/err") ]] || fail "$name: control characters on stderr"
  echo "$name: $(cat "$work/err") (status $status)"
}

check "DISPLAY unset" 1 "no display.*velmora-render" -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb --
check "DISPLAY empty" 1 "no display.*velmora-render" -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY= -- /nosplash
check "a script without a display" 1 "no display.*velmora-render" -u DISPLAY QT_QPA_PLATFORM=xcb -- "$work/test.zrs"
check "a display nobody serves" 1 "cannot open the display ':9876'.*velmora-render" DISPLAY=:9876 \
  QT_QPA_PLATFORM=xcb --
check "-display given" 1 "cannot open the display ':9877'.*velmora-render" -u DISPLAY QT_QPA_PLATFORM=xcb \
  -- -display :9877
check "an unknown option" 2 "unknown option '--bo\\\\x1b\\]0;x\\\\x07gus' \\(see velmora --help\\)" \
  -u DISPLAY QT_QPA_PLATFORM=xcb -- $'--bo\e]0;x\agus'
exit $((failures > 0))
