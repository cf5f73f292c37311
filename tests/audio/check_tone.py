#!/usr/bin/env python3
"""Plays a tone with the given player command and checks what reached the sound server.

    check_tone.py [--seconds S] [--left-hz F] [--right-hz F] [--left-dbfs L] [--right-dbfs L]
                  -- PLAYER COMMAND ...

Records the monitor of the test PulseAudio server's null sink (PULSE_SERVER, sink
VELMORA_TEST_SINK or "velmora_null") with parec while the player runs, then checks on each
channel: the tone lasts about S seconds, its frequency (zero crossings over the middle
half) is within 1 %, its peak and RMS are within 0.5 dB of a sine at the given level, and
no 10 ms stretch of it drops out. Exit status 77 (skipped) without PULSE_SERVER.
"""
import argparse
import array
import math
import os
import subprocess
import sys
import tempfile
import time

RATE = 48000  # the null sink's rate; the server resamples whatever the player sends
BLOCK = RATE // 100


def fail(msg):
    print("FAIL: " + msg)
    sys.exit(1)


def db(x):
    return 20 * math.log10(max(x, 1e-12))


def analyse(samples, name, seconds, hz, dbfs):
    blocks = [samples[i:i + BLOCK] for i in range(0, len(samples) - BLOCK + 1, BLOCK)]
    rms = [math.sqrt(sum(v * v for v in b) / len(b)) for b in blocks]
    active = [i for i, r in enumerate(rms) if db(r) > -50]
    if not active:
        fail(f"{name}: nothing was heard")
    first, last = active[0], active[-1]
    heard = (last - first + 1) * BLOCK / RATE
    print(f"{name}: heard {heard:.3f} s")
    # The whole signal, to within the 10 ms blocks it is measured in.
    if not seconds - 0.02 <= heard <= seconds + 0.3:
        fail(f"{name}: the tone lasted {heard:.3f} s, expected about {seconds} s")

    # Dropouts anywhere but in the first and last 30 ms (ramps of the server's resampler).
    expected_rms = dbfs - 3.0103
    for i in range(first + 3, last - 2):
        if abs(db(rms[i]) - expected_rms) > 1.5:
            fail(f"{name}: level {db(rms[i]):.1f} dBFS RMS at {i * BLOCK / RATE:.3f} s "
                 f"(expected {expected_rms:.1f}): a dropout")

    span = (last - first + 1) * BLOCK
    middle = samples[first * BLOCK + span // 4: first * BLOCK + 3 * span // 4]
    crossings = sum(1 for a, b in zip(middle, middle[1:]) if (a < 0) != (b < 0))
    freq = crossings / 2 / (len(middle) / RATE)
    peak = db(max(abs(v) for v in middle))
    level = db(math.sqrt(sum(v * v for v in middle) / len(middle)))
    print(f"{name}: {freq:.1f} Hz, peak {peak:.2f} dBFS, RMS {level:.2f} dBFS")
    if abs(freq - hz) > hz * 0.01:
        fail(f"{name}: frequency {freq:.1f} Hz, expected {hz} Hz")
    if abs(peak - dbfs) > 0.5:
        fail(f"{name}: peak {peak:.2f} dBFS, expected {dbfs}")
    if abs(level - expected_rms) > 0.5:
        fail(f"{name}: RMS {level:.2f} dBFS, expected {expected_rms:.2f}")


def main():
    argv = sys.argv[1:]
    if "--" not in argv:
        print(__doc__)
        return 2
    cut = argv.index("--")
    player = argv[cut + 1:]
    p = argparse.ArgumentParser()
    p.add_argument("--seconds", type=float, default=2)
    p.add_argument("--left-hz", type=float, default=1000)
    p.add_argument("--right-hz", type=float, default=1000)
    p.add_argument("--left-dbfs", type=float, default=-6)
    p.add_argument("--right-dbfs", type=float, default=-6)
    a = p.parse_args(argv[:cut])

    if not os.environ.get("PULSE_SERVER"):
        print("SKIP: PULSE_SERVER is not set (source tools/services.sh first)")
        return 77
    sink = os.environ.get("VELMORA_TEST_SINK", "velmora_null")

    with tempfile.NamedTemporaryFile(suffix=".raw") as raw:
        rec = subprocess.Popen(["parec", "-d", sink + ".monitor", "--format=s16le",
                                f"--rate={RATE}", "--channels=2", "--latency-msec=20"],
                               stdout=raw, stderr=subprocess.PIPE)
        try:
            time.sleep(0.5)
            if rec.poll() is not None:
                fail("parec did not start: " + rec.stderr.read().decode(errors="replace"))
            played = subprocess.run(player, timeout=a.seconds + 60)
            time.sleep(0.5)
        finally:
            rec.terminate()
            rec.wait(timeout=10)
        if played.returncode != 0:
            fail(f"the player exited with {played.returncode}")
        data = array.array("h")
        data.frombytes(open(raw.name, "rb").read())
    if sys.byteorder != "little":
        data.byteswap()
    scale = 1 / 32768
    left = [v * scale for v in data[0::2]]
    right = [v * scale for v in data[1::2]]
    analyse(left, "left", a.seconds, a.left_hz, a.left_dbfs)
    analyse(right, "right", a.seconds, a.right_hz, a.right_dbfs)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
