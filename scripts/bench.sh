#!/usr/bin/env bash
# Speed and memory figures of the translator, as ratios measured in one run:
#   1. Google Benchmark in-process: glslang compiling the corpus GLSL (the
#      yardstick, when glslang-dev is installed), the library translating
#      every corpus shader, and the generated shapes of 3k/30k/100k
#      instructions.
#   2. bench/ratios.py: the corpus interleaved over rounds (glslang, library,
#      serve mode with outputs on tmpfs and on disk) as shaders per
#      CPU-second and ratios against glslang; the shapes one process each
#      (CPU time and peak RSS by size).
# Usage: scripts/bench.sh [quick] [ratios.py options, e.g. --session 100000
#        --procs 1,2,4,8]   ("quick": one short pass, as CI runs it; it fails
#        only when something crashes, never on a time)
# Extra Google Benchmark flags can be passed in BENCH_ARGS.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-bench}"
CORPUS="${ZV_CORPUS_DIR:-$ROOT/../shared/corpus}"
QUICK=""
if [ "${1:-}" = quick ]; then QUICK=quick; shift; fi
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DZV_BENCH=ON -DZV_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target TranslateBench fenkvanter
WORK="$BUILD_DIR/bench-work"
rm -rf "$WORK"; mkdir -p "$WORK/shapes"

sizes=(3000 30000 100000); [ -n "$QUICK" ] && sizes=(3000 30000)
for kind in straight nested diamonds loops nestedloops breaks calls orphans; do
  for n in "${sizes[@]}"; do
    python3 "$ROOT/bench/gen_shader.py" "$kind" "$n" "$WORK/shapes/$kind-$n.bin"
  done
done

echo "== in-process (Google Benchmark)"
export ZV_CORPUS_DIR="$CORPUS" ZV_SHAPES_DIR="$WORK/shapes"
if [ -n "$QUICK" ]; then
  "$BUILD_DIR/bench/TranslateBench" --benchmark_min_time=0.01 ${BENCH_ARGS:-}
else
  "$BUILD_DIR/bench/TranslateBench" ${BENCH_ARGS:-}
fi

python3 "$ROOT/bench/ratios.py" "$BUILD_DIR" "$CORPUS" "$WORK" ${QUICK:+--quick} "$@"
