#!/usr/bin/env bash
# Fuzzes the preset loader and the script parser with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer (clang; everything instrumented), in build-fuzz/.
#   tools/fuzz.sh [RUNS]   (default 1000000 inputs per target)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_FUZZ_BUILD_DIR:-$root/build-fuzz}
runs=${1:-1000000}
bash "$root/tools/deps.sh" fuzz
if [[ ! -f "$build/build.ninja" ]]; then
  launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    -DVELMORA_DIRS="engine;files;control" -DVELMORA_BUILD_GUI=OFF -DVELMORA_BUILD_BENCH=OFF -DVELMORA_LIBFUZZER=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"
fi
cmake --build "$build" --target fuzz_preset fuzz_script fuzz_write_seeds
corpus=$build/corpus
"$build/tests/fuzz/fuzz_write_seeds" "$corpus/preset" "$corpus/script"
for target in preset script; do
  echo "== $target: $runs inputs"
  "$build/tests/fuzz/fuzz_$target" -runs="$runs" -max_len=20000 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/$target-" "$corpus/$target"
done
