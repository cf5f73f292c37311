#!/usr/bin/env python3
"""Measures velmora-render's multitone and twin tones with an analysis of its own (numpy).

    check_tones.py RENDER

Multitone at 48 kHz, 24 bits, 2^16 samples, -1 dBFS: one period holds exactly 31 lines (every
bin within 100 dB of the strongest), each the bin nearest a third-octave centre from 20 Hz to
20 kHz, equal within 0.1 dB; the largest sample is -1 dBFS within 0.05 dB; the crest factor
is at most 3.5; the second period equals the first. At 44.1 kHz the 20 kHz tone (above 0.45
of the rate) is left out: 30 lines.

IMD SMPTE (60 Hz + 7 kHz, 4:1) and IMD CCIF (19 kHz + 20 kHz, 1:1) at 48 and 44.1 kHz, 24
bits, -1 dBFS: over one second (a whole number of cycles of both) exactly two lines at those
frequencies, in that ratio within 0.05 dB, nothing else within 100 dB of the stronger, the
largest sample at -1 dBFS within 0.05 dB. CCIF at 22050 Hz (and SMPTE at 11025 Hz) is refused
with exit status 2 and one line.
"""
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np

CENTRES = [20, 25, 31.5, 40, 50, 63, 80, 100, 125, 160, 200, 250, 315, 400, 500, 630, 800, 1000, 1250,
           1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000]


def render(exe, path, *settings):
    r = subprocess.run([exe, "--quiet", path, *settings], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"render {settings} failed ({r.returncode}): {r.stderr.strip()}")


def samples24(path):
    raw = open(path, "rb").read()
    at = raw.index(b"data") + 8
    b = np.frombuffer(raw[at:], np.uint8)
    b = b[: len(b) // 3 * 3].reshape(-1, 3).astype(np.int32)
    z = b[:, 0] | b[:, 1] << 8 | b[:, 2] << 16
    return np.where(z >= 1 << 23, z - (1 << 24), z) / 8388607.0


def db(x):
    return 20 * np.log10(x)


def main():
    exe = sys.argv[1]
    tmp = tempfile.mkdtemp(prefix="velmora-tones.")
    failures = []

    def check(ok, text):
        print(("ok    " if ok else "FAIL  ") + text)
        if not ok:
            failures.append(text)

    try:
        # ---------------------------------------------------------------- multitone
        k = 16
        n = 1 << k
        for fs in (48000, 44100):
            p = os.path.join(tmp, f"multitone{fs}.wav")
            render(exe, p, "--rate", str(fs), "--bits", "24", "--wave", "multitone", "--length", str(k),
                   "--level", "-1", "--duration", f"{2 * n / fs:.15g}")
            x = samples24(p)
            check(len(x) == 2 * n, f"multitone {fs} Hz: two periods, {len(x)} samples")
            one = x[:n]
            check(np.array_equal(one, x[n:2 * n]), f"multitone {fs} Hz: the second period repeats the first")
            spec = np.abs(np.fft.rfft(one))
            lines = np.nonzero(spec > spec.max() * 1e-5)[0]
            want = sorted({int(round(f * n / fs)) for f in CENTRES if f < 0.45 * fs})
            check(list(lines) == want,
                  f"multitone {fs} Hz: {len(lines)} lines within 100 dB, on the {len(want)} centres' nearest bins")
            spread = db(spec[want].max() / spec[want].min())
            check(spread <= 0.1, f"multitone {fs} Hz: lines equal within {spread:.4f} dB")
            peak = db(np.abs(one).max())
            check(abs(peak + 1) <= 0.05, f"multitone {fs} Hz: peak {peak:.4f} dBFS")
            crest = np.abs(one).max() / np.sqrt(np.mean(one ** 2))
            check(crest <= 3.5, f"multitone {fs} Hz: crest factor {crest:.3f}")

        # ---------------------------------------------------------------- twin tones
        for wave, low, high, ratio in (("imd-smpte", 60, 7000, 4.0), ("imd-ccif", 19000, 20000, 1.0)):
            for fs in (48000, 44100):
                p = os.path.join(tmp, f"{wave}{fs}.wav")
                render(exe, p, "--rate", str(fs), "--bits", "24", "--wave", wave, "--level", "-1", "--duration", "2")
                x = samples24(p)[fs:2 * fs]  # one second: whole cycles of both tones
                spec = np.abs(np.fft.rfft(x))
                strongest = spec.max()
                lines = np.nonzero(spec > strongest * 1e-5)[0]
                check(list(lines) == [low, high], f"{wave} {fs} Hz: lines within 100 dB at {list(lines)} Hz")
                got = db(spec[low] / spec[high])
                check(abs(got - db(ratio)) <= 0.05, f"{wave} {fs} Hz: ratio {got:.4f} dB (want {db(ratio):.4f})")
                rest = np.delete(spec, [low, high]).max()
                check(db(rest / strongest) < -100, f"{wave} {fs} Hz: the rest at {db(rest / strongest):.1f} dB")
                peak = db(np.abs(x).max())
                check(abs(peak + 1) <= 0.05, f"{wave} {fs} Hz: peak {peak:.4f} dBFS")

        # ---------------------------------------------------------------- refusals
        for wave, fs in (("imd-ccif", 22050), ("imd-smpte", 11025)):
            r = subprocess.run([exe, "--quiet", os.path.join(tmp, "refused.wav"), "--rate", str(fs), "--wave", wave],
                               capture_output=True, text=True)
            one_line = r.stderr.count("\n") == 1 and "half the sampling rate" in r.stderr
            check(r.returncode == 2 and one_line, f"{wave} at {fs} Hz refused: {r.returncode} {r.stderr.strip()!r}")
            check(not os.path.exists(os.path.join(tmp, "refused.wav")), f"{wave} at {fs} Hz: no file")
    finally:
        shutil.rmtree(tmp)
    if failures:
        print(f"{len(failures)} failed")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
