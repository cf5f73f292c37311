#!/usr/bin/env python3
"""Measures velmora-render's measurement sweeps and impulse responses with an analysis of its own
(numpy, scipy), passing known systems through the real files.

    measurement_test.py RENDER CASE

CASE is one of:
  sweep       the instantaneous frequency (from the zero crossings) follows f1 e^(t/L) within 0.1 %
              between the fades, L = R / f1 with R = round(f1 T / ln(f2 / f1)); level, silence,
              channel choice
  linear      a peaking filter (+6 dB at 1 kHz) and a delay of 12345 samples: the linear
              response's magnitude within 0.2 dB of the filter's from 40 Hz to 16 kHz, its peak
              at sample 12345; the same from a 16-bit stereo WAVE_FORMAT_EXTENSIBLE recording
              and from the inverse filter file
  harmonics   y = x + 0.1 x^2 + 0.2 x^3 at four times the rate, filtered back down, DC-blocked,
              delayed by 3000 samples: the second and third harmonic responses read the
              distortion of a sine of the sweep's amplitude within 0.5 dB from 250 Hz to 4 kHz;
              the --distortion table says the same
  marker      with the timing marker, recordings that begin 0.1 s and 0.73 s before the sweep
              file (through the filter, with noise) give the peak at the same sample
  refusals    another rate, a recording too short, a file that is no measurement sweep, a
              marker that is not there, bad options: exit 2, one line, no file left
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy import signal
from scipy.io import wavfile

FS = 48000


def run(exe, *args, expect=0):
    r = subprocess.run([exe, *args], capture_output=True, text=True)
    if r.returncode != expect:
        sys.exit(f"{args}: exit {r.returncode}, expected {expect}: {r.stderr.strip()}")
    return r


def read(path):
    import warnings
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # the sweep's parameter chunk
        fs, x = wavfile.read(path)
    if x.dtype == np.int16:
        x = x / 32768.0
    elif x.dtype == np.int32:
        x = x / 2.0**31
    return fs, x.astype(np.float64)


def peaking(fs, f0=1000.0, gain_db=6.0, q=1.0):
    a_ = 10 ** (gain_db / 40)
    w0 = 2 * np.pi * f0 / fs
    al = np.sin(w0) / (2 * q)
    b = np.array([1 + al * a_, -2 * np.cos(w0), 1 - al * a_])
    a = np.array([1 + al / a_, -2 * np.cos(w0), 1 - al / a_])
    return b / a[0], a / a[0]


def expected_rate(f1, f2, t):
    return round(f1 * t / np.log(f2 / f1)) / f1


def check_sweep(exe, tmp, failures):
    f1, f2, t, pre, post = 20.0, 20000.0, 10.0, 0.5, 1.0
    path = os.path.join(tmp, "sweep.wav")
    run(exe, path, "--measurement-sweep", "20:20000", "--duration", "10", "--pre", "0.5", "--post", "1",
        "--level", "-6", "--bits", "32f")
    fs, x = read(path)
    L = expected_rate(f1, f2, t)
    n = int(round(L * np.log(f2 / f1) * fs))
    s0 = int(round(pre * fs))
    if len(x) != s0 + n + int(round(post * fs)):
        failures.append(f"sweep: {len(x)} samples, expected {s0 + n + int(round(post * fs))}")
    if np.max(np.abs(x[:s0])) != 0 or np.max(np.abs(x[s0 + n:])) != 0:
        failures.append("sweep: the silence before or after is not silent")
    peak = 20 * np.log10(np.max(np.abs(x)))
    if abs(peak + 6) > 0.01:
        failures.append(f"sweep: peak {peak:.3f} dBFS, expected -6")
    sweep = x[s0:s0 + n]
    # Zero crossings lie where the phase passes a multiple of pi, whatever the amplitude: the
    # mean frequency between two crossings at least 20 ms (and 4 half periods) apart, against
    # the mean of f1 e^(t/L) over the same span.
    i = np.nonzero(np.signbit(sweep[:-1]) != np.signbit(sweep[1:]))[0]
    i = i[sweep[i + 1] != 0]
    crossings = (i - sweep[i] / (sweep[i + 1] - sweep[i])) / fs
    start = L * np.log(2) / 12
    end = L * np.log(f2 / f1) - L * np.log(2) / 24
    crossings = crossings[(crossings >= start) & (crossings <= end)]
    span = np.searchsorted(crossings, crossings + 0.02)
    worst = 0.0
    for a in range(0, len(crossings)):
        b = max(span[a], a + 4)
        if b >= len(crossings):
            break
        ta, tb = crossings[a], crossings[b]
        measured = (b - a) / (2 * (tb - ta))
        expected = f1 * L * (np.exp(tb / L) - np.exp(ta / L)) / (tb - ta)
        worst = max(worst, abs(measured / expected - 1))
    if worst > 0.001 or len(crossings) < 1000:
        failures.append(f"sweep: instantaneous frequency off f1 e^(t/L) by {worst * 100:.3f} %")
    # Phase: 2 pi f1 L (e^(t/L) - 1), the synchronised sweep's (checked at the middle).
    mid = len(sweep) // 2
    want = 2 * np.pi * f1 * L * np.expm1(mid / fs / L)
    got = np.arcsin(np.clip(sweep[mid] / 10 ** (-6 / 20), -1, 1))
    if abs(np.sin(want) - np.sin(got)) > 1e-3:
        failures.append("sweep: phase at the middle is not 2 pi f1 L (e^(t/L) - 1)")
    # Channels.
    for choice, left, right in (("both", 1, 1), ("left", 1, 0), ("right", 0, 1)):
        p = os.path.join(tmp, f"sweep-{choice}.wav")
        run(exe, p, "--measurement-sweep", "100:10000", "--duration", "1", "--channels", choice, "--bits", "16")
        _, y = read(p)
        if y.ndim != 2 or y.shape[1] != 2:
            failures.append(f"--channels {choice}: not a stereo file")
            continue
        has = [int(np.max(np.abs(y[:, c])) > 0.1) for c in (0, 1)]
        if has != [left, right]:
            failures.append(f"--channels {choice}: sweep on channels {has}")
    p = os.path.join(tmp, "sweep-mono.wav")
    run(exe, p, "--measurement-sweep", "100:10000", "--duration", "1", "--channels", "mono")
    if read(p)[1].ndim != 1:
        failures.append("--channels mono: not a mono file")


def impulse(exe, tmp, recording, sweep, ir, *more):
    run(exe, "--impulse-response", recording, "--sweep", sweep, ir, *more)
    return read(ir)[1]


def check_linear(exe, tmp, failures):
    sweep = os.path.join(tmp, "sweep.wav")
    inverse = os.path.join(tmp, "inverse.wav")
    run(exe, sweep, "--measurement-sweep", "20:20000", "--duration", "10", "--inverse", inverse)
    fs, x = read(sweep)
    b, a = peaking(fs)
    delay = 12345
    y = np.concatenate([np.zeros(delay), signal.lfilter(b, a, x)])
    rec = os.path.join(tmp, "rec.wav")
    wavfile.write(rec, fs, y.astype(np.float32))
    # The same recording as 16-bit stereo, written as WAVE_FORMAT_EXTENSIBLE, the right
    # channel at half the level.
    rec16 = os.path.join(tmp, "rec16.wav")
    stereo = np.round(np.stack([y, 0.5 * y], axis=1) * 32767 * 0.9).astype("<i2")
    write_extensible(rec16, fs, stereo)
    nfft = 1 << 20
    f = np.fft.rfftfreq(nfft, 1 / fs)
    sel = (f >= 40) & (f <= 16000)
    _, hf = signal.freqz(b, a, worN=f[sel], fs=fs)
    want = 20 * np.log10(np.abs(hf))
    for name, h, scale in (("float mono", impulse(exe, tmp, rec, sweep, os.path.join(tmp, "ir.wav")), 1.0),
                           ("16-bit extensible", impulse(exe, tmp, rec16, sweep, os.path.join(tmp, "ir16.wav")), 0.9)):
        channels = [h] if h.ndim == 1 else [h[:, 0], h[:, 1] * 2]
        for c, hc in enumerate(channels):
            got = 20 * np.log10(np.abs(np.fft.rfft(hc / scale, nfft)[sel]))
            err = np.max(np.abs(got - want))
            if err > 0.2:
                failures.append(f"linear ({name}, channel {c + 1}): magnitude off the filter's by {err:.3f} dB")
            if int(np.argmax(np.abs(hc))) != delay:
                failures.append(f"linear ({name}, channel {c + 1}): peak at {np.argmax(np.abs(hc))}, expected {delay}")
    # The inverse filter: the sweep convolved with it is an impulse at one place; the
    # filtered recording convolved with it is the filter there.
    _, g = read(inverse)
    z = int(np.argmax(np.abs(signal.fftconvolve(x, g))))
    h = signal.fftconvolve(y, g)[z:z + 60000]
    got = 20 * np.log10(np.abs(np.fft.rfft(h, nfft)[sel]))
    if int(np.argmax(np.abs(h))) != delay or np.max(np.abs(got - want)) > 0.2:
        failures.append("inverse filter: does not deconvolve the recording to the filter")


def write_extensible(path, fs, frames):
    channels = frames.shape[1]
    data = frames.tobytes()
    fmt = (np.array([0xFFFE, channels], "<u2").tobytes() + np.array([fs, fs * 2 * channels], "<u4").tobytes() +
           np.array([2 * channels, 16, 22, 16], "<u2").tobytes() + np.array([3], "<u4").tobytes() +
           bytes([1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71]))
    body = b"WAVE" + b"fmt " + np.array([len(fmt)], "<u4").tobytes() + fmt
    body += b"data" + np.array([len(data)], "<u4").tobytes() + data
    with open(path, "wb") as out:
        out.write(b"RIFF" + np.array([len(body)], "<u4").tobytes() + body)


def smoothed(h, fs, freqs, octaves=1 / 6):
    nfft = 1 << 21
    p = np.abs(np.fft.rfft(h, nfft)) ** 2
    step = fs / nfft
    out = []
    for f in freqs:
        lo, hi = int(np.ceil(f * 2 ** (-octaves / 2) / step)), int(f * 2 ** (octaves / 2) / step)
        out.append(np.sqrt(np.mean(p[lo:hi + 1])))
    return np.array(out)


def check_harmonics(exe, tmp, failures):
    sweep = os.path.join(tmp, "sweep.wav")
    run(exe, sweep, "--measurement-sweep", "20:20000", "--duration", "10", "--bits", "32f", "--level", "-6")
    fs, x = read(sweep)
    amp = 10 ** (-6 / 20)
    up = signal.resample_poly(x, 4, 1)
    y = up + 0.1 * up ** 2 + 0.2 * up ** 3
    y = signal.resample_poly(y, 1, 4)
    bh, ah = signal.butter(1, 2.0, "highpass", fs=fs)  # a recorder's DC blocking
    y = signal.lfilter(bh, ah, y)
    delay = 3000
    y = np.concatenate([np.zeros(delay), y])
    rec = os.path.join(tmp, "rec.wav")
    wavfile.write(rec, fs, y.astype(np.float32))
    ir = os.path.join(tmp, "ir.wav")
    out = run(exe, "--impulse-response", rec, "--sweep", sweep, ir, "--harmonics", "3", "--distortion").stdout
    h1, h2, h3 = (read(p)[1] for p in (ir, os.path.join(tmp, "ir-h2.wav"), os.path.join(tmp, "ir-h3.wav")))
    if os.path.exists(os.path.join(tmp, "ir-h4.wav")):
        failures.append("harmonics: a fourth harmonic file with --harmonics 3")
    # A sine of amplitude A through the polynomial: fundamental A + 3/4 a3 A^3, second
    # a2 A^2 / 2, third a3 A^3 / 4.
    fund = amp + 0.75 * 0.2 * amp ** 3
    want = {2: 0.1 * amp ** 2 / 2 / fund, 3: 0.2 * amp ** 3 / 4 / fund}
    freqs = np.geomspace(250, 4000, 25)
    lin = smoothed(h1, fs, freqs)
    for k, hk in ((2, h2), (3, h3)):
        ratio = smoothed(hk, fs, k * freqs) / lin
        err = np.max(np.abs(20 * np.log10(ratio / want[k])))
        if err > 0.5:
            failures.append(f"harmonics: H{k}(kf)/H1(f) off {20 * np.log10(want[k]):.2f} dB by {err:.2f} dB")
        if abs(int(np.argmax(np.abs(hk))) - delay) > 2:
            failures.append(f"harmonics: H{k}'s peak at {np.argmax(np.abs(hk))}, expected near {delay}")
    if int(np.argmax(np.abs(h1))) != delay:
        failures.append(f"harmonics: linear peak at {np.argmax(np.abs(h1))}, expected {delay}")
    # The table: the rows at 1 kHz name H2 and H3 as the analysis does.
    rows = [line.split() for line in out.splitlines()[1:]]
    row = next((r for r in rows if abs(float(r[0]) - 1000) < 1), None)
    if row is None:
        failures.append("--distortion: no row at 1000 Hz")
    else:
        h2db, h3db = float(row[4]), float(row[6])
        if abs(h2db - 20 * np.log10(want[2])) > 0.5 or abs(h3db - 20 * np.log10(want[3])) > 0.5:
            failures.append(f"--distortion: 1 kHz row says H2 {h2db} dB, H3 {h3db} dB")


def check_marker(exe, tmp, failures):
    sweep = os.path.join(tmp, "sweep.wav")
    run(exe, sweep, "--measurement-sweep", "50:16000", "--duration", "5", "--marker", "--pre", "0.2")
    fs, x = read(sweep)
    b, a = peaking(fs)
    rng = np.random.default_rng(7)
    peaks = []
    for lead in (0.1, 0.73):
        y = np.concatenate([np.zeros(int(round(lead * fs))), np.zeros(500), signal.lfilter(b, a, x), np.zeros(fs)])
        y += rng.normal(0, 1e-4, len(y))
        rec = os.path.join(tmp, f"rec-{lead}.wav")
        wavfile.write(rec, fs, y.astype(np.float32))
        h = impulse(exe, tmp, rec, sweep, os.path.join(tmp, f"ir-{lead}.wav"))
        peaks.append(int(np.argmax(np.abs(h))))
    lead = int(round(0.01 * fs))  # the marker's arrival is placed 10 ms after time zero
    if peaks[0] != peaks[1] or abs(peaks[0] - lead) > 2:
        failures.append(f"marker: peaks at {peaks[0]} and {peaks[1]} for recordings started 0.1 s and 0.73 s early"
                        " (expected the same, 10 ms after time zero)")


def check_refusals(exe, tmp, failures):
    sweep = os.path.join(tmp, "sweep.wav")
    run(exe, sweep, "--measurement-sweep", "20:20000", "--duration", "2")
    marked = os.path.join(tmp, "marked.wav")
    run(exe, marked, "--measurement-sweep", "20:20000", "--duration", "2", "--marker")
    fs, x = read(sweep)
    cases = []
    other = os.path.join(tmp, "other-rate.wav")
    wavfile.write(other, 44100, x.astype(np.float32))
    cases.append(("another rate", ["--impulse-response", other, "--sweep", sweep], "44100 Hz, the sweep at 48000 Hz"))
    short = os.path.join(tmp, "short.wav")
    wavfile.write(short, fs, x[: len(x) // 2].astype(np.float32))
    cases.append(("too short", ["--impulse-response", short, "--sweep", sweep], "too short"))
    plain = os.path.join(tmp, "plain.wav")
    run(exe, plain, "--wave", "sine", "--duration", "1", "--rate", "48000")
    cases.append(("not a sweep", ["--impulse-response", sweep, "--sweep", plain], "not a Velmora measurement sweep"))
    noise = os.path.join(tmp, "noise.wav")
    wavfile.write(noise, fs, np.random.default_rng(1).normal(0, 0.1, 4 * fs).astype(np.float32))
    cases.append(("no marker", ["--impulse-response", noise, "--sweep", marked], "marker cannot be found"))
    cases.append(("bad harmonics", ["--impulse-response", sweep, "--sweep", sweep, "--harmonics", "1"], "--harmonics"))
    for name, args, text in cases:
        out = os.path.join(tmp, "refused.wav")
        r = run(exe, *args, out, "--harmonics", "3", expect=2) if "--harmonics" not in args else run(exe, *args, out, expect=2)
        lines = r.stderr.strip().splitlines()
        if len(lines) != 1 or text not in lines[0]:
            failures.append(f"refusal '{name}': {r.stderr.strip()!r} does not say '{text}' on one line")
        left = [p for p in os.listdir(tmp) if p.startswith("refused")]
        if left:
            failures.append(f"refusal '{name}' left {left}")
    for args, text in ((["--measurement-sweep", "20:30000", "--duration", "1", "--rate", "44100"],
                        "the end frequency 30000 Hz is not below half the sampling rate (22050 Hz)"),
                       (["--measurement-sweep", "20:20000"], "--duration"),
                       (["--measurement-sweep", "20:20000", "--duration", "1", "--channels", "centre"], "--channels")):
        out = os.path.join(tmp, "refused.wav")
        r = run(exe, out, *args, expect=2)
        if text not in r.stderr or len(r.stderr.strip().splitlines()) != 1 or os.path.exists(out):
            failures.append(f"refusal of {args}: {r.stderr.strip()!r}")


def main():
    exe, case = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory(prefix="velmora-measure.") as tmp:
        {"sweep": check_sweep, "linear": check_linear, "harmonics": check_harmonics, "marker": check_marker,
         "refusals": check_refusals}[case](exe, tmp, failures)
    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
