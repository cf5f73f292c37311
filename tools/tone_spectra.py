#!/usr/bin/env python3
"""Spectrum picture of Velmora's multitone and twin tones beside the square: renders each
with velmora-render (48 kHz, 24 bits, -1 dBFS) and draws the magnitude spectrum of a whole
number of periods (no window, so every line sits on its bin) in dB relative to its strongest
line. The square (997 Hz over one second) is drawn plain and alias-free.

    tools/tone_spectra.py BUILD_DIR OUT.png     (needs python3-numpy and python3-matplotlib)
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


def render(exe, path, *options):
    subprocess.run([exe, "--quiet", path, "--rate", "48k", "--bits", "24", "--level", "-1", *options], check=True)
    raw = open(path, "rb").read()
    b = np.frombuffer(raw[raw.index(b"data") + 8:], np.uint8)
    b = b[: len(b) // 3 * 3].reshape(-1, 3).astype(np.int32)
    z = b[:, 0] | b[:, 1] << 8 | b[:, 2] << 16
    return np.where(z >= 1 << 23, z - (1 << 24), z) / 8388607.0


def main():
    exe = os.path.join(sys.argv[1], "app", "velmora-render")
    tmp = tempfile.mkdtemp()
    n = 1 << 16
    period = f"{n / FS:.15g}"
    series = [
        ("Multitone, 2^16 samples", ["--wave", "multitone", "--length", "16", "--duration", period], n),
        ("IMD SMPTE 60 Hz + 7 kHz 4:1, 1 s", ["--wave", "imd-smpte", "--duration", "1"], FS),
        ("IMD CCIF 19 kHz + 20 kHz 1:1, 1 s", ["--wave", "imd-ccif", "--duration", "1"], FS),
        ("Square 997 Hz, 1 s (the existing entry)", ["--wave", "square", "--freq", "997", "--duration", "2"], FS),
        ("Square 997 Hz alias-free, 1 s", ["--wave", "square", "--freq", "997", "--duration", "2", "--alias-free"], FS),
    ]
    fig, axes = plt.subplots(len(series), 1, figsize=(10, 2.4 * len(series)), sharex=True)
    for ax, (label, options, length) in zip(axes, series):
        x = render(exe, os.path.join(tmp, "s.wav"), *options)
        x = x[-length:]  # the last whole periods (the square's second second)
        spec = np.abs(np.fft.rfft(x))
        f = np.fft.rfftfreq(len(x), 1 / FS)
        db = 20 * np.log10(spec / spec.max() + 1e-12)
        ax.semilogx(f[1:], db[1:], linewidth=0.6)
        ax.set_ylim(-200, 5)
        ax.set_ylabel("dB")
        ax.set_title(label, fontsize=9)
        ax.grid(True, which="both", alpha=0.3)
    axes[-1].set_xlim(10, FS / 2)
    axes[-1].set_xlabel("frequency (Hz)")
    fig.suptitle("Spectra at 48 kHz, 24 bits, -1 dBFS, relative to the strongest line")
    fig.tight_layout()
    fig.savefig(sys.argv[2], dpi=100)
    print(sys.argv[2])


if __name__ == "__main__":
    main()
