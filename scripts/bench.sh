#!/usr/bin/env bash
# Speed and memory figures of the translator.
#   1. In-process: Google Benchmark translates every corpus shader repeatedly.
#   2. Serve mode as a whole process over the corpus: shaders/s, peak RSS.
#   3. Generated straight-line and deeply nested compute shaders of 10,000 to
#      100,000 instructions: time and memory must grow linearly.
# Usage: scripts/bench.sh [quick]   ("quick": one short pass, as CI runs it)
# Extra Google Benchmark flags can be passed in BENCH_ARGS.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-bench}"
CORPUS="${ZV_CORPUS_DIR:-$ROOT/../shared/corpus}"
QUICK="${1:-}"
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DZV_BENCH=ON -DZV_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target TranslateBench fenkvanter
TOOL="$BUILD_DIR/fenkvanter"
WORK="$BUILD_DIR/bench-work"
rm -rf "$WORK"; mkdir -p "$WORK"

if [ ! -f "$CORPUS/jobs.json" ]; then
  echo "corpus absent: skipped"; exit 0
fi

# CPU seconds (user + system: wall time is meaningless on a loaded machine),
# wall seconds and peak RSS (MB) of a command, from GNU time.
measure() {
  /usr/bin/time -v "$@" 2>"$WORK/time.txt" >"$WORK/stdout.txt" </dev/stdin || { cat "$WORK/time.txt"; return 1; }
  awk -F': ' '
    /User time/ { cpu += $2 } /System time/ { cpu += $2 }
    /Elapsed \(wall clock\)/ { n = split($2, a, ":"); for (i = 1; i <= n; i++) wall = wall * 60 + a[i] }
    /Maximum resident set size/ { rss = $2 / 1024 }
    END { printf "%.2f %.2f %.1f\n", cpu, wall, rss }' "$WORK/time.txt"
}

echo "== in-process (Google Benchmark)"
if [ "$QUICK" = quick ]; then
  "$BUILD_DIR/bench/TranslateBench" --benchmark_min_time=0.01 ${BENCH_ARGS:-}
else
  "$BUILD_DIR/bench/TranslateBench" ${BENCH_ARGS:-}
fi

echo "== serve mode over the corpus"
rounds=20; [ "$QUICK" = quick ] && rounds=1
python3 - "$CORPUS" "$WORK/serve-out" "$rounds" >"$WORK/requests.txt" <<'PY'
import json, os, sys
corpus, out, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
jobs = json.load(open(os.path.join(corpus, "jobs.json")))
for _ in range(rounds):
    for job in jobs:
        job = dict(job, code=os.path.join(corpus, job["code"]))
        print(json.dumps({"job": job, "out": out}))
PY
requests=$(wc -l <"$WORK/requests.txt")
read -r cpu wall rss < <(measure "$TOOL" --serve <"$WORK/requests.txt")
ok=$(grep -c '^ok ' "$WORK/stdout.txt" || true)
awk -v n="$requests" -v ok="$ok" -v t="$cpu" -v w="$wall" -v r="$rss" \
  'BEGIN { printf "serve: %d requests (%d ok) in %.2f s CPU (%.2f s wall) = %.0f shaders/s per core, peak RSS %s MB\n", n, ok, t, w, (t > 0 ? n / t : 0), r }'

echo "== generated shaders (one-shot, time and peak RSS by size)"
sizes=(10000 25000 50000 100000); [ "$QUICK" = quick ] && sizes=(10000 20000)
for kind in straight nested; do
  for n in "${sizes[@]}"; do
    python3 "$ROOT/bench/gen_shader.py" "$kind" "$n" "$WORK/$kind-$n.bin"
    printf '[{"key":"%s","code":"%s","stage":"cs","local":[64,1,1],"shared":0}]' \
      "$kind-$n" "$WORK/$kind-$n.bin" >"$WORK/$kind-$n.json"
    read -r cpu wall rss < <(measure "$TOOL" "$WORK/$kind-$n.json" "$WORK/gen-out")
    result=$(tr -d '\r' <"$WORK/stdout.txt" | head -1)
    awk -v k="$kind" -v n="$n" -v t="$cpu" -v w="$wall" -v r="$rss" -v res="$result" \
      'BEGIN { printf "%-8s %6d instructions: %6.2f s CPU (%.2f us/instruction, %.2f s wall), peak RSS %s MB  [%s]\n", k, n, t, t * 1e6 / n, w, r, res }'
  done
done
