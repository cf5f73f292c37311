#!/usr/bin/env bash
# Times velmora-render's impulse responses (reading, inverse filter, deconvolution, writing)
# against numpy doing the FFT division of the whole recording by the whole sweep in memory
# (one transform each at a fast length, no regularisation, no blocks, reading not counted),
# and reports velmora-render's peak memory.
#
#   bench/measure_compare.sh [BUILD_DIR] [RUNS] [long]
#
# Cases: a 10 s sweep in a 20 s stereo recording at 48 kHz; a 60 s sweep in a 70 s mono
# recording at 192 kHz; with "long", also a 10-minute stereo recording at 192 kHz (16-bit,
# 460 MB) holding a 60 s sweep, for the memory figure only. The recordings are the sweep
# through a peaking filter and a delay, written by numpy. Debian's python3 (numpy, scipy).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-3}
long=${3:-}
render="$build/app/velmora-render"
python=/usr/bin/python3
out=$(mktemp -d "${TMPDIR:-/tmp}/velmora-measure.XXXXXX")
trap 'rm -rf "$out"' EXIT

make_case() { # NAME RATE SWEEP_SECONDS RECORDING_SECONDS CHANNELS BITS
  "$render" "$out/$1-sweep.wav" --measurement-sweep 20:20000 --duration "$3" --rate "$2" --bits 32f
  "$python" - "$out/$1-sweep.wav" "$out/$1-rec.wav" "$4" "$5" "$6" <<'PY'
import sys, warnings
import numpy as np
from scipy import signal
from scipy.io import wavfile
warnings.simplefilter("ignore")
fs, x = wavfile.read(sys.argv[1])
seconds, channels, bits = float(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
w0 = 2 * np.pi * 1000 / fs; al = np.sin(w0) / 2; a_ = 10 ** (6 / 40)
y = signal.lfilter([1 + al * a_, -2 * np.cos(w0), 1 - al * a_], [1 + al / a_, -2 * np.cos(w0), 1 - al / a_], x)
n = int(seconds * fs)
rec = np.zeros((n, channels), np.float32 if bits == "32f" else np.int16)
d = 1234
for c in range(channels):
    seg = y[: n - d] * (0.9 if c else 1.0)
    rec[d:d + len(seg), c] = seg if bits == "32f" else np.round(seg * 32767 * 0.5)
wavfile.write(sys.argv[2], fs, rec)
PY
}

numpy_division() { # NAME
  "$python" - "$out/$1-sweep.wav" "$out/$1-rec.wav" <<'PY'
import sys, time, warnings
import numpy as np
from scipy.fft import next_fast_len
from scipy.io import wavfile
warnings.simplefilter("ignore")
_, x = wavfile.read(sys.argv[1]); _, y = wavfile.read(sys.argv[2])
y = y.reshape(len(y), -1).astype(np.float64); x = x.astype(np.float64)
start = time.perf_counter()
n = next_fast_len(len(y) + len(x), real=True)
X = np.fft.rfft(x, n)
h = [np.fft.irfft(np.fft.rfft(y[:, c], n) / X, n) for c in range(y.shape[1])]
print(f"{time.perf_counter() - start:.3f}")
PY
}

velmora_run() { # NAME -> "seconds peak_kB"
  /usr/bin/time -f "%e %M" -o "$out/time" "$render" --impulse-response "$out/$1-rec.wav" --sweep "$out/$1-sweep.wav" "$out/$1-ir.wav"
  cat "$out/time"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf "%-34s %12s %12s %14s\n" case velmora_s numpy_s velmora_MB
for spec in "48k-10s:48000:10:20:2:32f" "192k-60s:192000:60:70:1:32f"; do
  IFS=: read -r name rate sweep rec ch bits <<<"$spec"
  make_case "$name" "$rate" "$sweep" "$rec" "$ch" "$bits"
  v=(); m=(); p=()
  for ((i = 0; i < runs; ++i)); do
    read -r t mem < <(velmora_run "$name")
    v+=("$t"); m+=("$mem"); p+=("$(numpy_division "$name")")
  done
  printf "%-34s %12s %12s %14s\n" "$name sweep, ${rec}s x${ch} recording" \
    "$(printf '%s\n' "${v[@]}" | median)" "$(printf '%s\n' "${p[@]}" | median)" \
    "$(( $(printf '%s\n' "${m[@]}" | sort -n | tail -1) / 1024 ))"
  rm -f "$out/$name"-*
done
if [[ "$long" == long ]]; then
  make_case long 192000 60 600 2 16
  read -r t mem < <(velmora_run long)
  printf "%-34s %12s %12s %14s\n" "192k 60 s sweep, 600s x2 recording" "$t" "-" "$((mem / 1024))"
fi
