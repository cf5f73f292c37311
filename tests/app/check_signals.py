#!/usr/bin/env python3
"""Measures velmora-render's tone burst, IMD DIN and band-limited periodic noise with an
analysis of its own (numpy).

    check_signals.py RENDER

- Tone burst: 6.5 cycles of 1 kHz under a Hann window at 48 kHz, 16 bits, -6 dBFS, is the
  windowed sine scaled so that its largest sample is the level, to 1 LSB, and silence to the
  end of the repetition; unwindowed and at 44.1 kHz / 24 bits the same; a stereo burst with
  a phase offset starts on both channels at once.
- IMD DIN at 48 kHz, 24 bits: the 250 Hz and 8 kHz lines 12.04 dB apart and nothing else
  within 100 dB of the larger.
- Periodic noise in a band (pink 500 Hz-2 kHz, brown 30-80 Hz, white 500 Hz-2 kHz), 32-bit
  float, 2^16 samples at 48 kHz: the bins outside the band below -120 dB of the largest,
  those inside on their line (flat, -3.01 or -6.02 dB per octave) within 0.01 dB, the RMS
  that of a -20 dBFS sine (AES17) within 0.01 dB; "--band full" writes the very bytes of no
  band at all.
"""
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np


def render(exe, path, *settings):
    r = subprocess.run([exe, "--quiet", path, *settings], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"render {settings} failed ({r.returncode}): {r.stderr.strip()}")


def samples(path, channels):
    raw = open(path, "rb").read()
    fmt = raw.index(b"fmt ") + 8
    tag = int.from_bytes(raw[fmt:fmt + 2], "little")
    bits = int.from_bytes(raw[fmt + 14:fmt + 16], "little")
    at = raw.index(b"data") + 8
    size = int.from_bytes(raw[at - 4:at], "little")
    data = raw[at:at + size]
    if tag == 3:
        x = np.frombuffer(data, "<f4").astype(float)
    elif bits == 16:
        x = np.frombuffer(data, "<i2").astype(float)
    else:
        b = np.frombuffer(data, np.uint8).reshape(-1, 3).astype(np.int32)
        z = b[:, 0] | b[:, 1] << 8 | b[:, 2] << 16
        x = np.where(z >= 1 << 23, z - (1 << 24), z).astype(float)
    return x.reshape(-1, channels)


def burst(fs, f, cycles, hann):
    length = cycles * fs / f
    t = np.arange(int(np.ceil(length)))
    x = np.sin(2 * np.pi * f * t / fs)
    if hann:
        x *= 0.5 - 0.5 * np.cos(2 * np.pi * t / length)
    return x / np.max(np.abs(x))


def check_bursts(exe, tmp, failures):
    cases = [
        # rate, bits, full scale, frequency, cycles, window, level
        (48000, "16", 32767, 1000, 6.5, "hann", -6),
        (48000, "16", 32767, 1000, 6.5, "none", -6),
        (44100, "24", 8388607, 63, 4, "hann", -1),
        (44100, "16", 32767, 5000, 2.25, "none", 0),
    ]
    for fs, bits, full, f, cycles, window, level in cases:
        p = os.path.join(tmp, "burst.wav")
        render(exe, p, "--rate", str(fs), "--bits", bits, "--wave", "burst", "--freq", str(f), "--cycles", str(cycles),
               "--burst-window", window, "--level", str(level), "--burst-period", "0.5")
        x = samples(p, 1)[:, 0]
        want = burst(fs, f, cycles, window == "hann") * 10 ** (level / 20) * full
        what = f"{cycles} cycles of {f} Hz ({window}) at {fs} Hz, {bits} bits"
        if len(x) != fs // 2:
            failures.append(f"{what}: {len(x)} samples, not one repetition of {fs // 2}")
            continue
        err = np.max(np.abs(x[:len(want)] - want))
        if err > 1.0:
            failures.append(f"{what}: {err:.2f} LSB from the windowed sine")
        if np.any(x[len(want):] != 0):
            failures.append(f"{what}: not silent after the burst")
        if abs(np.max(np.abs(x)) - 10 ** (level / 20) * full) > 1.0:
            failures.append(f"{what}: peak {np.max(np.abs(x)):.1f}, not the level")
    # Stereo with a phase offset: the burst starts on both channels at every repetition.
    p = os.path.join(tmp, "stereo.wav")
    render(exe, p, "--rate", "48k", "--bits", "16", "--wave", "burst", "--freq", "1000", "--cycles", "6.5",
           "--burst-period", "0.01", "--right", "--phase", "90", "--wave", "burst", "--freq", "1000", "--cycles", "6.5")
    x = samples(p, 2)
    if not np.array_equal(x[:, 0], x[:, 1]):
        failures.append("stereo burst: the right channel does not start with the left")


def check_din(exe, tmp, failures):
    p = os.path.join(tmp, "din.wav")
    render(exe, p, "--rate", "48k", "--bits", "24", "--wave", "imd-din", "--level", "-1", "--duration", "1")
    x = samples(p, 1)[:, 0] / 8388607.0
    spec = np.abs(np.fft.rfft(x)) / len(x) * 2
    freqs = np.fft.rfftfreq(len(x), 1 / 48000)
    lines = {250: spec[np.argmin(np.abs(freqs - 250))], 8000: spec[np.argmin(np.abs(freqs - 8000))]}
    ratio = 20 * np.log10(lines[250] / lines[8000])
    if abs(ratio - 12.04) > 0.01:
        failures.append(f"IMD DIN: the lines are {ratio:.3f} dB apart, not 12.04")
    rest = spec.copy()
    for f in lines:
        rest[np.argmin(np.abs(freqs - f))] = 0
    worst = 20 * np.log10(np.max(rest) / lines[250] + 1e-30)
    if worst > -100:
        failures.append(f"IMD DIN: another line at {freqs[np.argmax(rest)]:.0f} Hz, {worst:.1f} dB")
    if abs(np.max(np.abs(x)) - 10 ** (-1 / 20)) > 2 / 8388607:
        failures.append(f"IMD DIN: peak {np.max(np.abs(x)):.6f}, not -1 dBFS")


def check_bands(exe, tmp, failures):
    fs, k = 48000, 16
    n = 1 << k
    period = f"{n / fs:.15g}"
    for name, slope, low, high in (("pink", -0.5, 500, 2000), ("brown", -1.0, 30, 80), ("white", 0.0, 500, 2000)):
        p = os.path.join(tmp, f"{name}.wav")
        render(exe, p, "--rate", "48k", "--bits", "32f", "--wave", f"{name}-periodic", "--length", str(k),
               "--level", "-20", "--duration", period, "--band", f"{low}:{high}")
        x = samples(p, 1)[:, 0]
        spec = np.abs(np.fft.rfft(x))
        freqs = np.fft.rfftfreq(n, 1 / fs)
        inside = (freqs >= low) & (freqs <= high)
        outside = 20 * np.log10(np.max(spec[~inside]) / np.max(spec[inside]))
        if outside > -120:
            failures.append(f"{name} {low}-{high} Hz: {outside:.1f} dB outside the band")
        line = spec[inside] / freqs[inside] ** slope
        dev = 20 * np.log10(line / np.sqrt(np.mean(line ** 2)))
        if np.max(np.abs(dev)) > 0.01:
            failures.append(f"{name} {low}-{high} Hz: a bin {np.max(np.abs(dev)):.3f} dB off its slope")
        rms = 20 * np.log10(np.sqrt(np.mean(x ** 2)) * np.sqrt(2))
        if abs(rms + 20) > 0.01:
            failures.append(f"{name} {low}-{high} Hz: RMS of a {rms:.3f} dBFS sine, not -20")
    a, b = os.path.join(tmp, "a.wav"), os.path.join(tmp, "b.wav")
    render(exe, a, "--wave", "pink-periodic", "--length", "14", "--duration", "1")
    render(exe, b, "--wave", "pink-periodic", "--length", "14", "--duration", "1", "--band", "full")
    if open(a, "rb").read() != open(b, "rb").read():
        failures.append("--band full does not write the bytes of no band")


def main():
    exe = sys.argv[1]
    tmp = tempfile.mkdtemp(prefix="velmora-signals.")
    failures = []
    try:
        check_bursts(exe, tmp, failures)
        check_din(exe, tmp, failures)
        check_bands(exe, tmp, failures)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
