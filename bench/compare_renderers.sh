#!/usr/bin/env bash
# Renders the same signals with velmora-render, sox's synth and ffmpeg's lavfi sources, in
# one run, and prints each tool's median wall time and the ratios to velmora-render.
#
#   bench/compare_renderers.sh [BUILD_DIR] [SECONDS] [RUNS]
#
# Signals: 48000 Hz, 16-bit stereo, SECONDS long (600): a 1 kHz sine, a 20 Hz - 20 kHz
# logarithmic sweep, pink noise and white noise, every channel computed on its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-600}
runs=${3:-3}
render="$build/app/velmora-render"
for tool in "$render" sox ffmpeg; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
out=$(mktemp -d "${TMPDIR:-/tmp}/velmora-compare.XXXXXX")
trap 'rm -rf "$out"' EXIT

both() { echo "$1Left=$2 $1Right=$2"; }
declare -A cmd
cmd[sine,velmora]="$render $out/v.wav SamplingRate=48000 cboChannels=1 $(both fInit 1000) Duration=$seconds"
cmd[sine,sox]="sox -D -V1 -n -r 48000 -b 16 -c 2 $out/s.wav synth $seconds sine 1000"
cmd[sine,ffmpeg]="ffmpeg -v error -y -f lavfi -i sine=frequency=1000:sample_rate=48000:duration=$seconds -ac 2 -c:a pcm_s16le $out/f.wav"

cmd[sweep,velmora]="$render $out/v.wav SamplingRate=48000 cboChannels=1 $(both chkConstant 0) $(both fInit 20) $(both fFinal 20000) $(both Logarithmic 1) Duration=$seconds"
cmd[sweep,sox]="sox -D -V1 -n -r 48000 -b 16 -c 2 $out/s.wav synth $seconds sine 20/20000"
# f(t) = 20 * 1000^(t/T): phase = 2 pi 20 T (1000^(t/T) - 1) / ln 1000
cmd[sweep,ffmpeg]="ffmpeg -v error -y -f lavfi -i 'aevalsrc=sin(2*PI*20*$seconds*(pow(1000\,t/$seconds)-1)/log(1000)):s=48000:d=$seconds:c=stereo' -c:a pcm_s16le $out/f.wav"

cmd[pink,velmora]="$render $out/v.wav SamplingRate=48000 cboChannels=1 $(both WaveForm 5) Duration=$seconds"
cmd[pink,sox]="sox -D -V1 -n -r 48000 -b 16 -c 2 $out/s.wav synth $seconds pinknoise"
cmd[pink,ffmpeg]="ffmpeg -v error -y -f lavfi -i anoisesrc=color=pink:sample_rate=48000:duration=$seconds -ac 2 -c:a pcm_s16le $out/f.wav"

cmd[white,velmora]="$render $out/v.wav SamplingRate=48000 cboChannels=1 $(both WaveForm 4) Duration=$seconds"
cmd[white,sox]="sox -D -V1 -n -r 48000 -b 16 -c 2 $out/s.wav synth $seconds whitenoise"
cmd[white,ffmpeg]="ffmpeg -v error -y -f lavfi -i anoisesrc=color=white:sample_rate=48000:duration=$seconds -ac 2 -c:a pcm_s16le $out/f.wav"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
wall() { local t0 t1; t0=$(date +%s.%N); eval "$1" >/dev/null; t1=$(date +%s.%N); awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'; }

printf '%-6s %10s %10s %10s %12s %12s\n' signal velmora sox ffmpeg sox/velmora ffmpeg/velmora
for signal in sine sweep pink white; do
  declare -A times=()
  for tool in velmora sox ffmpeg; do times[$tool]=""; done
  wall "${cmd[$signal,velmora]}" >/dev/null # warm-up
  for ((r = 0; r < runs; r++)); do
    for tool in velmora sox ffmpeg; do times[$tool]+="$(wall "${cmd[$signal,$tool]}")"$'\n'; done
  done
  v=$(printf '%s' "${times[velmora]}" | median)
  s=$(printf '%s' "${times[sox]}" | median)
  f=$(printf '%s' "${times[ffmpeg]}" | median)
  printf '%-6s %9.3fs %9.3fs %9.3fs %12.2f %12.2f\n' "$signal" "$v" "$s" "$f" \
    "$(awk -v a="$s" -v b="$v" 'BEGIN { print a / b }')" "$(awk -v a="$f" -v b="$v" 'BEGIN { print a / b }')"
done
