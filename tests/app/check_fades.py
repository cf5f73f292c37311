#!/usr/bin/env python3
"""Measures velmora-render's fades (--fade MS) with an analysis of its own (numpy).

    check_fades.py RENDER

Each file is rendered twice, with and without the fade. The faded file must be the plain
one times half a Hann window (numpy's) over its first and last MS ms, to 1 LSB (integer
samples) or to a float's rounding, and equal to it sample for sample in between; its first
and last samples are silent. A file shorter than two fades carries both halves at once
(their product). FadeMs without FadeOn, and FadeOn=0, change no byte.
"""
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np


def render(exe, path, *settings):
    r = subprocess.run([exe, "--quiet", "--seed", "5", path, *settings], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"render {settings} failed ({r.returncode}): {r.stderr.strip()}")
    return open(path, "rb").read()


def samples(raw, bits, channels):
    at = raw.index(b"data") + 8
    data = raw[at:]
    if bits == 16:
        x = np.frombuffer(data, "<i2").astype(np.float64)
    elif bits == 24:
        b = np.frombuffer(data, np.uint8).reshape(-1, 3).astype(np.int32)
        z = b[:, 0] | b[:, 1] << 8 | b[:, 2] << 16
        x = np.where(z >= 1 << 23, z - (1 << 24), z).astype(np.float64)
    else:
        x = np.frombuffer(data, "<f4").astype(np.float64)
    return x.reshape(-1, channels)


def envelope(n, fade):
    """Half a Hann window up over the first `fade` frames and down over the last."""
    w = np.hanning(2 * fade + 1)
    up = np.ones(n)
    up[: min(fade, n)] = w[: min(fade, n)]
    down = np.ones(n)
    tail = min(fade, n)
    down[n - tail:] = w[fade + 1: fade + 1 + tail] if tail == fade else w[2 * fade + 1 - tail:]
    return up * down


def main():
    exe = sys.argv[1]
    tmp = tempfile.mkdtemp(prefix="velmora-fades.")
    failures = []
    cases = [
        # name, rate, bits, channels, settings, fade ms
        ("sine 16-bit mono", 44100, 16, 1, ["--wave", "sine", "--freq", "1000", "--duration", "0.5"], 20),
        ("pink and square 24-bit stereo", 48000, 24, 2,
         ["--rate", "48k", "--bits", "24", "--wave", "pink", "--level", "-3", "--right", "--wave", "square",
          "--freq", "440", "--duration", "0.2"], 30),
        ("sweep, modulated, float", 96000, 32, 1,
         ["--rate", "96k", "--bits", "32f", "--sweep", "100:20000", "--log", "--duration", "0.3",
          "ModulationOnLeft=1", "ModPeriodLeftEdit=0.05"], 7),
        ("shorter than two fades", 44100, 16, 1, ["--wave", "triangle", "--freq", "3000", "--duration", "0.03"], 20),
        ("multitone", 48000, 16, 1, ["--rate", "48k", "--wave", "multitone", "--length", "14", "--duration", "0.5"],
         100),
    ]
    try:
        for name, rate, bits, channels, settings, ms in cases:
            plain = samples(render(exe, os.path.join(tmp, "plain.wav"), *settings), bits, channels)
            faded = samples(render(exe, os.path.join(tmp, "faded.wav"), *settings, "--fade", str(ms)), bits, channels)
            n, fade = len(plain), round(ms * rate / 1000)
            if len(faded) != n:
                failures.append(f"{name}: {len(faded)} frames faded, {n} plain")
                continue
            e = envelope(n, fade)[:, None]
            # What the rounding of both files allows: 1 LSB, or a float's relative error.
            lsb = 1.0 if bits != 32 else 2.0 ** -23
            err = np.abs(faded - plain * e)
            if bits == 32:
                err = err / np.maximum(np.abs(plain), 2.0 ** -24)
                lsb = 2.0 ** -22
            if err.max() > lsb:
                i = int(np.argmax(err.max(axis=1)))
                failures.append(f"{name}: frame {i} is {err.max():.3g} off the half-Hann envelope (allowed {lsb:.3g})")
            middle = slice(fade, n - fade)
            if n > 2 * fade and not np.array_equal(faded[middle], plain[middle]):
                failures.append(f"{name}: frames between the fades changed")
            if np.any(faded[0] != 0) or np.any(faded[-1] != 0):
                failures.append(f"{name}: first or last frame not silent ({faded[0]}, {faded[-1]})")
            if n > 2 * fade and np.abs(plain[middle]).max() == 0:
                failures.append(f"{name}: the plain file is silent")

        # Options that are off change nothing.
        base = ["--wave", "sawtooth", "--freq", "777", "--duration", "0.2"]
        reference = render(exe, os.path.join(tmp, "a.wav"), *base)
        for extra in (["FadeMs=500"], ["FadeOn=0"], ["FadeOn=0", "FadeMs=1"]):
            if render(exe, os.path.join(tmp, "b.wav"), *base, *extra) != reference:
                failures.append(f"{' '.join(extra)} changed the file")
    finally:
        shutil.rmtree(tmp, ignore_errors=True)

    for f in failures:
        print("FAIL:", f)
    print("fades:", "ok" if not failures else f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
