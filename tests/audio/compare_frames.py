#!/usr/bin/env python3
"""Compares the frames a sink received with the frames that were rendered, sample for sample.

    compare_frames.py RENDERED.wav CAPTURED.wav PLAYED_FRAMES

RENDERED.wav is velmora-render's file of the signal; CAPTURED.wav what the sink's monitor
recorded (same rate and channel count; 16-bit signals as 16-bit, 24-bit ones as 16- or 32-bit
samples, the low byte of a 32-bit one zero) while the signal played, with silence
before and after it. PLAYED_FRAMES is how many frames of the signal the player hands to the
device. The check: the capture holds exactly those frames, unchanged and in
order, with nothing but silence before and after them.
"""
import sys

import numpy as np


def samples(path):
    """The data chunk of a RIFF file as int16 or int32 (24-bit packed) or int64 (32-bit) frames, and its layout."""
    raw = open(path, "rb").read()
    assert raw[:4] == b"RIFF" and raw[8:12] == b"WAVE", f"{path}: not a RIFF/WAVE file"
    at, fmt, data = 12, None, None
    while at + 8 <= len(raw):
        tag, size = raw[at:at + 4], int.from_bytes(raw[at + 4:at + 8], "little")
        body = raw[at + 8:at + 8 + size]
        if tag == b"fmt ":
            fmt = (int.from_bytes(body[2:4], "little"), int.from_bytes(body[4:8], "little"),
                   int.from_bytes(body[14:16], "little"))
        elif tag == b"data":
            # A recorder stopped by a signal may leave the size open (0 or 0xFFFFFFFF).
            data = raw[at + 8:] if size in (0, 0xFFFFFFFF) or at + 8 + size > len(raw) else body
            break
        at += 8 + size + (size & 1)
    assert fmt and data is not None, f"{path}: no fmt or data chunk"
    channels, rate, bits = fmt
    if bits == 16:
        x = np.frombuffer(data[:len(data) // 2 * 2], dtype="<i2").astype(np.int32)
    elif bits == 32:
        x = np.frombuffer(data[:len(data) // 4 * 4], dtype="<i4").astype(np.int64)
    elif bits == 24:
        b = np.frombuffer(data[:len(data) // 3 * 3], dtype=np.uint8).reshape(-1, 3).astype(np.int32)
        x = b[:, 0] | (b[:, 1] << 8) | (b[:, 2] << 16)
        x = np.where(x >= 1 << 23, x - (1 << 24), x)
    else:
        sys.exit(f"{path}: {bits}-bit samples are not compared here")
    return x[:len(x) // channels * channels].reshape(-1, channels), rate, bits


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    rendered, rate, bits = samples(sys.argv[1])
    captured, crate, cbits = samples(sys.argv[2])
    played = int(sys.argv[3])
    if bits == 24 and cbits == 32:
        low = np.count_nonzero(captured & 0xFF)
        if low:
            sys.exit(f"FAIL: {low} captured samples have bits below the 24 that were played")
        captured, cbits = captured >> 8, 24
    assert (rate, bits, rendered.shape[1]) == (crate, cbits, captured.shape[1]), \
        f"layouts differ: {rate} Hz {bits} bit vs {crate} Hz {cbits} bit"
    expected = rendered[:played]
    assert np.any(expected), "the rendered frames are silent: nothing to find"
    first = int(np.argmax(np.any(expected != 0, axis=1)))
    heard = np.flatnonzero(np.any(captured != 0, axis=1))
    if heard.size == 0:
        sys.exit("FAIL: the sink received only silence")
    start = int(heard[0]) - first
    print(f"{len(captured)} frames captured; the signal starts at frame {start}, "
          f"{played} frames expected")
    if start < 0 or start + played > len(captured):
        sys.exit(f"FAIL: the capture does not hold the whole signal (start {start}, "
                 f"{len(captured)} frames captured)")
    got = captured[start:start + played]
    wrong = np.flatnonzero(np.any(got != expected, axis=1))
    if wrong.size:
        w = int(wrong[0])
        sys.exit(f"FAIL: {wrong.size} of {played} frames differ, the first at frame {w}: "
                 f"received {got[w].tolist()}, rendered {expected[w].tolist()}")
    outside = np.count_nonzero(np.any(captured[start + played:] != 0, axis=1))
    if outside:
        sys.exit(f"FAIL: {outside} frames of sound after the signal's end")
    print(f"PASS: all {played} frames arrived unchanged")


if __name__ == "__main__":
    main()
