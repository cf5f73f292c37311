#!/usr/bin/env python3
"""The alias-free square, triangle and sawtooth of velmora-render, measured with numpy.

    alias_free_test.py VELMORA_RENDER

Steady tones at 48000 Hz, 24 bits: over one second (a whole number of periods, so every
harmonic and every alias falls on a bin of a plain FFT) nothing off the tone's harmonic
series comes within 100 dB of the fundamental; the plain waves, measured the same way, show
their aliases (so the measurement can see them).

Log sweeps 20 Hz to 20 kHz: the ideally band-limited wave is built here from the sweep's own
instantaneous phase (the sum of its harmonics below half the sampling rate, the top ones
faded out between 0.44 and 0.48 of the rate, where the renderer's lowpass is allowed to
take them down). Both signals go through one lowpass at 0.42 of the rate; in blocks of 256
frames the reference, scaled by a gain that may drift within the block (a cubic: the wave's
level follows its peak, which changes with the frequency), is fitted to the output and taken
away. What is left is everything the output holds off the
instantaneous harmonic series below 0.42 of the rate: aliases of harmonics from 0.58 of the
rate up. Its power in every block stays 80 dB below the fundamental's.

Peaks: the band-limited wave between samples (a 16-phase windowed-sinc interpolation) peaks
at the set level, within 0.03 dB and never above it.

Exit status 77 (skipped) without numpy.
"""
import os
import struct
import subprocess
import sys
import tempfile

try:
    import numpy as np
except ImportError:
    print("numpy is missing: skipped")
    sys.exit(77)

RENDER = sys.argv[1]
RATE = 48000
failures = []


def check(ok, text):
    print(("ok    " if ok else "FAIL  ") + text)
    if not ok:
        failures.append(text)


def render(args):
    """Renders a mono 24-bit file with the given options; returns samples in -1..1."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "out.wav")
        subprocess.run([RENDER, path, "--rate", str(RATE), "--bits", "24", "-q"] + args, check=True)
        data = open(path, "rb").read()
    # The data chunk of a plain PCM file (44-byte header as the renderer writes it).
    assert data[36:40] == b"data", "unexpected wave header"
    size = struct.unpack("<I", data[40:44])[0]
    raw = np.frombuffer(data[44:44 + size], dtype=np.uint8).reshape(-1, 3).astype(np.int32)
    v = raw[:, 0] | (raw[:, 1] << 8) | (raw[:, 2] << 16)
    v = np.where(v >= 1 << 23, v - (1 << 24), v)
    return v / 8388607.0


def off_series_db(y, f):
    """The strongest component of one second of y that is not a multiple of f (nor 0 Hz),
    in dB relative to the fundamental."""
    spectrum = np.abs(np.fft.rfft(y)) / len(y) * 2
    series = np.zeros(len(spectrum), bool)
    series[::f] = True
    return 20 * np.log10(spectrum[~series].max() / spectrum[f])


def true_peak(x, over=16, taps=512):
    """The largest magnitude of the band-limited signal through the samples, between samples
    too; the first and last taps/2 samples are left out."""
    half = taps // 2
    n = np.arange(-half, half)
    window = np.kaiser(taps, 14)
    best = np.abs(x[half:-half]).max()
    for p in range(1, over):
        h = np.sinc(n + 1 - p / over) * window
        best = max(best, np.abs(np.convolve(x, h[::-1], mode="valid")).max())
    return best


def lowpass(x, cutoff=0.42, taps=511):
    """A linear-phase lowpass (windowed sinc, stopband from 0.44 down by about 120 dB)."""
    n = np.arange(taps) - (taps - 1) / 2
    h = 2 * cutoff * np.sinc(2 * cutoff * n) * np.kaiser(taps, 12)
    h /= h.sum()
    return np.convolve(x, h, mode="same")


# ---------------------------------------------------------------- steady tones

for wave, f, level in (("square", 997, "0"), ("sawtooth", 7919, "0"), ("triangle", 997, "-6")):
    base = ["--wave", wave, "--freq", str(f), "--level", level, "--duration", "2"]
    clean = render(base + ["--alias-free"])[RATE:2 * RATE]
    plain = render(base)[RATE:2 * RATE]
    db = off_series_db(clean, f)
    check(db < -100, "%s %d Hz alias-free: strongest component off the series %.1f dB" % (wave, f, db))
    plain_db = off_series_db(plain, f)
    check(plain_db > -60, "%s %d Hz plain: its aliases show at %.1f dB" % (wave, f, plain_db))

# The peak at the set level, for each wave over the whole range of a 48 kHz rate.
for wave in ("square", "triangle", "sawtooth"):
    for f in (25, 333.3, 997, 2500, 4321, 7919, 12000, 17000, 20000):
        for level in ("0", "-12.5"):
            y = render(["--wave", wave, "--freq", str(f), "--level", level, "--duration", "0.25", "--alias-free"])
            peak_db = 20 * np.log10(true_peak(y[2000:]))
            ok = -0.03 <= peak_db - float(level) <= 0
            check(ok, "%s %g Hz at %s dBFS: peak %.4f dBFS" % (wave, f, level, peak_db))

# ---------------------------------------------------------------- sweeps


def sweep_residual_db(wave, clean):
    """The largest off-series power of a block of the sweep, relative to the fundamental's."""
    seconds = 4.0
    n = int(round(seconds * RATE))
    f1, f2 = 20 / RATE, 20000 / RATE
    factor = np.exp((np.log(f2) - np.log(f1)) / (n - 1))
    # The sweep as the generator steps it: the step before each frame's update makes the
    # frame's phase; the sawtooth climbs by the step after it.
    steps = 2 * np.pi * f1 * np.cumprod(np.concatenate(([1.0], np.full(n, factor))))
    phase = np.cumsum(steps[:n])
    freq = steps[:n] / (2 * np.pi)
    if wave == "sawtooth":
        phase = np.cumsum(steps[1:n + 1])
    reference = np.zeros(n)
    k = 1
    while True:
        on = k * freq < 0.48
        if not on.any():
            break
        if wave == "square" and k % 2 == 0:
            k += 1
            continue
        top = on.nonzero()[0][-1] + 1
        fade = np.clip((0.48 - k * freq[:top]) / 0.04, 0, 1)
        fade = 0.5 - 0.5 * np.cos(np.pi * fade)
        if wave == "square":
            reference[:top] += fade * 4 / np.pi / k * np.sin(k * phase[:top])
        else:
            reference[:top] += fade * 2 / np.pi * (-1) ** (k + 1) / k * np.sin(k * phase[:top])
        k += 1
    y = lowpass(clean[:n])
    r = lowpass(reference)
    worst = -400.0
    block = 256
    t = (np.arange(block) - block / 2) / block
    # The start and end, where the signal switches on and off, are left out.
    for start in range(RATE // 10, n - RATE // 10 - block, block):
        part = slice(start, start + block)
        basis = np.stack([t ** j * r[part] for j in range(4)], axis=1)
        coefficients, *_ = np.linalg.lstsq(basis, y[part], rcond=None)
        rest = y[part] - basis @ coefficients
        fundamental = (coefficients[0] * (4 if wave == "square" else 2) / np.pi) ** 2 / 2
        worst = max(worst, 10 * np.log10(np.mean(rest ** 2) / fundamental))
    return worst


for wave in ("square", "sawtooth"):
    base = ["--wave", wave, "--sweep", "20:20000", "--log", "--duration", "4"]
    db = sweep_residual_db(wave, render(base + ["--alias-free"]))
    check(db < -80, "%s log sweep alias-free: largest off-series block %.1f dB" % (wave, db))
    plain_db = sweep_residual_db(wave, render(base))
    check(plain_db > -60, "%s log sweep plain: its aliases show at %.1f dB" % (wave, plain_db))

if failures:
    print("%d failed" % len(failures))
    sys.exit(1)
print("all passed")
