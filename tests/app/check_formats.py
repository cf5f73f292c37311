#!/usr/bin/env python3
"""Measures velmora-render's sample formats with an analysis of its own (numpy, ffprobe).

    check_formats.py RENDER CASE

CASE is one of:
  dither  a -80 dBFS 997 Hz sine at 16 bits with TPDF dither: the error against the ideal
          sine has a variance of 0.25 +- 0.05 LSB^2 and no harmonic stands out of the noise
          (without dither the same sine has harmonics far above it); silence stays silent;
          the same seed gives the same file
  float   a -6.0206 dBFS sine as 32-bit float samples peaks at the level within 1e-6 (the
          level field keeps two decimals: -6.02 dBFS, 0.5000345), and ffprobe reads the file
          as pcm_f32le with its duration
  rf64    1000 s at 384 kHz, 24 bits, stereo is RF64 and ffprobe reports the whole duration
  full    an export that a small file system cannot hold is refused before writing and the
          earlier file stays as it was (needs root for a tmpfs; exit 77 otherwise)
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np

SKIP = 77


def render(exe, path, *settings, check=True):
    r = subprocess.run([exe, "--quiet", path, *settings], capture_output=True, text=True)
    if check and r.returncode != 0:
        sys.exit(f"render {settings} failed ({r.returncode}): {r.stderr.strip()}")
    return r


def data_chunk(path):
    """The samples' bytes of a RIFF file, found by walking its chunks."""
    raw = open(path, "rb").read()
    assert raw[:4] == b"RIFF" and raw[8:12] == b"WAVE", "not a RIFF/WAVE file"
    at = 12
    while at + 8 <= len(raw):
        tag, size = raw[at:at + 4], int.from_bytes(raw[at + 4:at + 8], "little")
        if tag == b"data":
            return raw[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    sys.exit(f"{path}: no data chunk")


def ffprobe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", path],
                         capture_output=True, text=True, check=True).stdout
    j = json.loads(out)
    return j["streams"][0], j["format"]


def fit_sine(x, f, fs):
    """Least-squares amplitude and phase of a sine at f: the fitted sine."""
    n = np.arange(len(x))
    basis = np.stack([np.sin(2 * np.pi * f * n / fs), np.cos(2 * np.pi * f * n / fs), np.ones(len(x))], 1)
    coef, *_ = np.linalg.lstsq(basis, x, rcond=None)
    return basis @ coef


def harmonic_excess_db(x, f, fs, harmonics=range(2, 11)):
    """How far the strongest harmonic's bin stands above the median noise bin (dB)."""
    w = np.blackman(len(x))
    spec = np.abs(np.fft.rfft(x * w)) ** 2
    freqs = np.fft.rfftfreq(len(x), 1 / fs)
    noise = np.median(spec[(freqs > 100) & (freqs < fs / 2 - 100)])
    worst = -np.inf
    for h in harmonics:
        if h * f >= fs / 2:
            break
        k = int(round(h * f * len(x) / fs))
        worst = max(worst, 10 * np.log10(spec[k - 2:k + 3].max() / noise))
    return worst


def case_dither(exe, tmp):
    fs, f = 48000, 997
    common = ["SamplingRate=48000", "fInitLeft=997", "AmplitudeLeft=-80", "Duration=4"]
    a, b, plain = (os.path.join(tmp, n) for n in ("a.wav", "b.wav", "plain.wav"))
    render(exe, a, "--seed", "11", "--dither", "tpdf", *common)
    render(exe, b, "--seed", "11", *common, "Dither=1")
    render(exe, plain, "--seed", "11", *common)
    assert open(a, "rb").read() == open(b, "rb").read(), "the same seed gave another dither"

    x = np.frombuffer(data_chunk(a), "<i2").astype(float)
    err = x - fit_sine(x, f, fs)
    var = err.var()
    print(f"dithered: error variance {var:.4f} LSB^2")
    assert abs(var - 0.25) <= 0.05, f"error variance {var:.4f} LSB^2 is not 0.25 +- 0.05"
    excess = harmonic_excess_db(x, f, fs)
    print(f"dithered: strongest harmonic {excess:.1f} dB above the median noise bin")
    assert excess < 12, f"a harmonic stands {excess:.1f} dB out of the noise"

    y = np.frombuffer(data_chunk(plain), "<i2").astype(float)
    plain_excess = harmonic_excess_db(y, f, fs)
    print(f"undithered: strongest harmonic {plain_excess:.1f} dB above the median noise bin")
    assert plain_excess > 30, "without dither the harmonics should stand out (is the analysis blind?)"

    # Silence, and a channel switched off, stay digital silence; the other channel is dithered.
    s = os.path.join(tmp, "s.wav")
    render(exe, s, "--seed", "3", "--dither", "tpdf", "cboChannels=1", "WaveFormLeft=8",
           "WaveFormRight=0", "AmplitudeRight=-90", "Duration=0.5")
    st = np.frombuffer(data_chunk(s), "<i2").reshape(-1, 2)
    assert not st[:, 0].any(), "a silent channel got dither"
    assert st[:, 1].any()
    render(exe, s, "--seed", "3", "--dither", "tpdf", "cboChannels=1", "RightTick=0", "Duration=0.5",
           "--bits", "24")
    st24 = np.frombuffer(data_chunk(s), np.uint8).reshape(-1, 6)
    assert not st24[:, 3:].any(), "a channel switched off got dither"

    # 24 bits: the same error statistics.
    t = os.path.join(tmp, "t.wav")
    render(exe, t, "--seed", "5", "--dither", "tpdf", "--bits", "24", "SamplingRate=48000", "fInitLeft=997",
           "AmplitudeLeft=-120", "Duration=2")
    raw = np.frombuffer(data_chunk(t), np.uint8).reshape(-1, 3).astype(np.int32)
    z = (raw[:, 0] | raw[:, 1] << 8 | raw[:, 2] << 16)
    z = np.where(z >= 1 << 23, z - (1 << 24), z).astype(float)
    var24 = (z - fit_sine(z, f, fs)).var()
    print(f"24 bits dithered: error variance {var24:.4f} LSB^2")
    assert abs(var24 - 0.25) <= 0.05


def case_float(exe, tmp):
    p = os.path.join(tmp, "f.wav")
    render(exe, p, "--bits", "32f", "SamplingRate=48000", "fInitLeft=1000", "AmplitudeLeft=-6.0206",
           "Duration=1")
    stream, fmt = ffprobe(p)
    assert stream["codec_name"] == "pcm_f32le", stream["codec_name"]
    assert abs(float(fmt["duration"]) - 1.0) < 1e-6, fmt["duration"]
    x = np.frombuffer(data_chunk(p), "<f4").astype(float)
    assert len(x) == 48000
    peak = np.abs(x).max()
    level = 10 ** (-6.02 / 20)
    print(f"float: peak {peak:.9f}, level {level:.9f}")
    assert abs(peak - level) <= 1e-6, f"peak {peak} is not {level} within 1e-6"
    assert abs(peak - 0.5) <= 5e-5
    # The float samples are the 24-bit ones before rounding.
    q = os.path.join(tmp, "q.wav")
    render(exe, q, "--bits", "24", "SamplingRate=48000", "fInitLeft=1000", "AmplitudeLeft=-6.0206", "Duration=1")
    raw = np.frombuffer(data_chunk(q), np.uint8).reshape(-1, 3).astype(np.int32)
    z = (raw[:, 0] | raw[:, 1] << 8 | raw[:, 2] << 16)
    z = np.where(z >= 1 << 23, z - (1 << 24), z) / 8388607.0
    assert np.abs(z - x).max() <= 0.6 / 8388607, "float and 24-bit samples disagree"
    # Stereo, full scale with a Dirac pulse: +-1.0 exactly, and the other channel off is 0.
    d = os.path.join(tmp, "d.wav")
    render(exe, d, "--bits", "32f", "cboChannels=1", "WaveFormLeft=7", "WaveFormRight=0", "RightTick=0",
           "Duration=0.01")
    st = np.frombuffer(data_chunk(d), "<f4").reshape(-1, 2)
    assert st[0, 0] == 1.0 and not st[1:, 0].any() and not st[:, 1].view(np.uint32).any()


def case_rf64(exe, tmp):
    p = os.path.join(tmp, "long.wav")
    render(exe, p, "SamplingRate=384000", "Quantisation=24", "cboChannels=1", "Duration=1000")
    size = os.path.getsize(p)
    frames = 384000 * 1000
    with open(p, "rb") as fh:
        head = fh.read(96)
    assert head[:4] == b"RF64" and head[4:8] == b"\xff" * 4 and head[8:16] == b"WAVEds64", head[:16]
    riff, data, count = (int.from_bytes(head[20 + 8 * i:28 + 8 * i], "little") for i in range(3))
    assert riff == size - 8 and data == frames * 6 and count == frames, (riff, data, count, size)
    stream, fmt = ffprobe(p)
    print(f"rf64: {size} bytes, ffprobe {stream['codec_name']} {fmt['duration']} s")
    assert stream["codec_name"] == "pcm_s24le"
    assert abs(float(fmt["duration"]) - 1000) < 1e-3, fmt["duration"]
    # The last frames are the signal, not padding or garbage.
    with open(p, "rb") as fh:
        fh.seek(-6 * 1000, os.SEEK_END)
        tail = np.frombuffer(fh.read(), np.uint8)
    assert tail.any()
    os.unlink(p)


def case_full(exe, tmp):
    if os.geteuid() != 0 or not shutil.which("mount"):
        return SKIP
    mnt = os.path.join(tmp, "small")
    os.mkdir(mnt)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", mnt]).returncode != 0:
        return SKIP
    try:
        p = os.path.join(mnt, "out.wav")
        render(exe, p, "Duration=0.1")
        before = open(p, "rb").read()
        r = render(exe, p, "Duration=10", "SamplingRate=48000", "cboChannels=1", check=False)
        print(f"full: exit {r.returncode}: {r.stderr.strip()}")
        assert r.returncode == 2, r.returncode
        assert "File Access Error" in r.stderr and "No space left" in r.stderr, r.stderr
        assert open(p, "rb").read() == before, "the earlier file changed"
        assert os.listdir(mnt) == ["out.wav"], os.listdir(mnt)
        st = os.statvfs(mnt)
        assert st.f_bfree * st.f_frsize > 900 * 1024, "the refused export used the space"
    finally:
        subprocess.run(["umount", mnt])


def main():
    exe, case = sys.argv[1], sys.argv[2]
    tmp = tempfile.mkdtemp(prefix="velmora-formats.")
    try:
        result = {"dither": case_dither, "float": case_float, "rf64": case_rf64, "full": case_full}[case](exe, tmp)
    except AssertionError as e:
        print(f"FAILED: {e}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return result or 0


if __name__ == "__main__":
    sys.exit(main())
