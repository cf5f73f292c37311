#!/usr/bin/env bash
# velmora-render --play: a repeating signal plays until SIGINT or SIGTERM and then exits 0
# after the device has closed; a device that cannot be opened exits 3 with the device error.
set -u
render=$1
if [[ -z "${PULSE_SERVER:-}" ]]; then echo "no PulseAudio server: skipped"; exit 77; fi

for sig in INT TERM; do
  "$render" --play Loop=1 fInitLeft=440 Duration=0.5 2>/tmp/velmora-play-$$.err &
  pid=$!
  sleep 1
  if ! kill -0 "$pid" 2>/dev/null; then echo "FAIL: stopped before SIG$sig"; cat /tmp/velmora-play-$$.err; exit 1; fi
  kill -"$sig" "$pid"
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then echo "FAIL: still playing 5 s after SIG$sig"; kill -9 "$pid"; exit 1; fi
  wait "$pid"; rc=$?
  if [[ $rc -ne 0 ]]; then echo "FAIL: exit $rc after SIG$sig"; cat /tmp/velmora-play-$$.err; exit 1; fi
done

"$render" --play --device 999 Duration=0.1 2>/tmp/velmora-play-$$.err; rc=$?
if [[ $rc -ne 3 ]] || ! grep -q "^velmora-render: Sound Device Error: " /tmp/velmora-play-$$.err; then
  echo "FAIL: bad device gave exit $rc: $(cat /tmp/velmora-play-$$.err)"; exit 1
fi
rm -f /tmp/velmora-play-$$.err
echo PASS
