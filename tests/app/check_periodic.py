#!/usr/bin/env python3
"""Measures velmora-render's periodic noises with an analysis of its own (numpy).

    check_periodic.py RENDER

For white, pink and brown periodic noise at 48 kHz, 24 bits, a period of 2^16 samples and
a level of -20 dBFS: every FFT bin of one period from 20 Hz to 20 kHz lies within 0.2 dB of
its line (flat, -3.01 dB or -6.02 dB per octave), the bins below 10 Hz and DC are empty, the
RMS is that of a -20 dBFS sine within 0.05 dB (AES17), the crest factor is at most 4, and the
second period equals the first sample for sample. Stereo with two seeds is uncorrelated,
"Same as Left" gives identical channels, and the same settings give the same file.
"""
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np

FS, K = 48000, 16
N = 1 << K


def render(exe, path, *settings):
    r = subprocess.run([exe, "--quiet", path, *settings], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"render {settings} failed ({r.returncode}): {r.stderr.strip()}")
    return r.stderr


def samples24(path, channels):
    raw = open(path, "rb").read()
    at = raw.index(b"data") + 8
    b = np.frombuffer(raw[at:], np.uint8)
    b = b[: len(b) // 3 * 3].reshape(-1, 3).astype(np.int32)
    z = b[:, 0] | b[:, 1] << 8 | b[:, 2] << 16
    z = np.where(z >= 1 << 23, z - (1 << 24), z) / 8388607.0
    return z.reshape(-1, channels)


def main():
    exe = sys.argv[1]
    tmp = tempfile.mkdtemp(prefix="velmora-periodic.")
    failures = []
    try:
        two_periods = f"{2 * N / FS:.15g}"
        for name, slope in (("white", 0.0), ("pink", -0.5), ("brown", -1.0)):
            p = os.path.join(tmp, f"{name}.wav")
            note = render(exe, p, "--rate", "48k", "--bits", "24", "--wave", f"{name}-periodic", "--length", str(K),
                          "--level", "-20", "--duration", two_periods)
            x = samples24(p, 1)[:, 0]
            assert len(x) == 2 * N, len(x)
            one, two = x[:N], x[N:]
            spec = np.abs(np.fft.rfft(one))
            freqs = np.fft.rfftfreq(N, 1 / FS)
            band = (freqs >= 20) & (freqs <= 20000)
            # The line through the band: magnitude x f^-slope is constant.
            flat = spec[band] / freqs[band] ** slope
            ref = np.sqrt(np.mean(flat ** 2))
            dev = 20 * np.log10(flat / ref)
            rms_db = 20 * np.log10(np.sqrt(np.mean(one ** 2)) * np.sqrt(2))
            crest = np.abs(one).max() / np.sqrt(np.mean(one ** 2))
            low = spec[freqs < 10].max() / spec[band].max()
            print(f"{name}: bins {dev.min():+.4f} .. {dev.max():+.4f} dB, AES17 level {rms_db:.4f} dBFS, "
                  f"crest {crest:.3f}, below 10 Hz {20 * np.log10(low + 1e-300):.1f} dB {note.strip()}")
            checks = [
                (np.abs(dev).max() <= 0.2, f"{name}: a bin is {np.abs(dev).max():.3f} dB off its line"),
                (abs(rms_db + 20) <= 0.05, f"{name}: level {rms_db:.4f} dBFS is not -20 within 0.05 dB"),
                (crest <= 4.0, f"{name}: crest factor {crest:.3f} is above 4"),
                (np.array_equal(one, two), f"{name}: the second period differs from the first"),
                (low < 1e-4, f"{name}: energy below 10 Hz"),
            ]
            failures += [msg for ok, msg in checks if not ok]

        # Stereo: two seeds are uncorrelated, Same as Left is identical, repeats are exact.
        s1, s2 = os.path.join(tmp, "s1.wav"), os.path.join(tmp, "s2.wav")
        common = ["--rate", "48k", "--bits", "24", "--wave", "pink-periodic", "--length", str(K), "--level", "-20",
                  "--right", "--wave", "pink-periodic", "--length", str(K), "--level", "-20", "--duration", "1"]
        render(exe, s1, *common)
        render(exe, s2, *common)
        st = samples24(s1, 2)
        r = np.corrcoef(st[:, 0], st[:, 1])[0, 1]
        print(f"stereo: correlation {r:.4f}")
        if abs(r) > 0.05:
            failures.append(f"left and right with their own seeds correlate ({r:.3f})")
        if open(s1, "rb").read() != open(s2, "rb").read():
            failures.append("the same settings gave another file")
        render(exe, s1, *common, "chkAsLeft=1")
        st = samples24(s1, 2)
        if not np.array_equal(st[:, 0], st[:, 1]):
            failures.append("Same as Left gave different channels")
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    for f in failures:
        print("FAILED:", f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
