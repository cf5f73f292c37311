#!/usr/bin/env python3
"""Third-octave picture of Velmora's noises: renders each with velmora-render (48 kHz,
24 bits, -20 dBFS, 2^16-sample periods), measures its level in every ISO third-octave band
from 20 Hz to 20 kHz (FFT power summed over the band), and draws the bands beside the ideal
slopes.

    tools/noise_bands.py BUILD_DIR OUT.png     (needs python3-numpy and python3-matplotlib)
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

FS = 48000
CENTRES = [20, 25, 31.5, 40, 50, 63, 80, 100, 125, 160, 200, 250, 315, 400, 500, 630, 800, 1000, 1250, 1600,
           2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000]


def render(exe, path, wave, seconds):
    subprocess.run([exe, "--quiet", "--seed", "1", path, "--rate", "48k", "--bits", "24", "--wave", wave,
                    *(["--length", "16"] if "periodic" in wave else []), "--level", "-20", "--duration", seconds],
                   check=True)
    raw = open(path, "rb").read()
    b = np.frombuffer(raw[raw.index(b"data") + 8:], np.uint8)
    b = b[: len(b) // 3 * 3].reshape(-1, 3).astype(np.int32)
    z = b[:, 0] | b[:, 1] << 8 | b[:, 2] << 16
    return np.where(z >= 1 << 23, z - (1 << 24), z) / 8388607.0


def bands(x):
    power = np.abs(np.fft.rfft(x)) ** 2
    f = np.fft.rfftfreq(len(x), 1 / FS)
    out = []
    for c in CENTRES:
        lo, hi = c / 2 ** (1 / 6), c * 2 ** (1 / 6)
        out.append(10 * np.log10(power[(f >= lo) & (f < hi)].sum() + 1e-30))
    return np.array(out)


def main():
    exe = os.path.join(sys.argv[1], "app", "velmora-render")
    tmp = tempfile.mkdtemp()
    period = f"{(1 << 16) / FS:.15g}"
    series = [("White Noise (periodic)", "white-periodic", period),
              ("Pink Noise (periodic)", "pink-periodic", period),
              ("Brown Noise (periodic)", "brown-periodic", period),
              ("Pink Noise (the existing list entry, 10 s)", "pink", "10")]
    fig, ax = plt.subplots(figsize=(10, 6))
    for label, wave, seconds in series:
        b = bands(render(exe, os.path.join(tmp, "n.wav"), wave, seconds))
        b -= b[CENTRES.index(1000)]
        ax.semilogx(CENTRES, b, marker="o", label=label)
    octaves = np.log2(np.array(CENTRES) / 1000)
    for slope, style in ((3.01, ":"), (0, ":"), (-3.01, ":")):
        ax.semilogx(CENTRES, octaves * slope, "k" + style, linewidth=0.8)
    ax.set_xlabel("third-octave band centre (Hz)")
    ax.set_ylabel("band level relative to 1 kHz (dB)")
    ax.set_title("Third-octave band levels, 48 kHz, -20 dBFS (dotted: +3.01, 0, -3.01 dB/octave)")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    fig.savefig(sys.argv[2], dpi=100)
    print(sys.argv[2])


if __name__ == "__main__":
    main()
