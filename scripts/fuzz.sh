#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds-per-target]   (default 60)
# Fails on any crash, leak, sanitizer report or per-input timeout; the
# failing input is left in $BUILD_DIR/fuzz-<target>/ (crash-*, leak-*,
# timeout-*). Inputs under tests/fuzz/regressions/<target>/ are replayed
# first, so a fixed fault stays fixed.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SECONDS_PER_TARGET="${1:-60}"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-fuzz}"
SHARED="$ROOT/../shared"
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DZV_FUZZ=ON -DZV_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target FuzzTranslate FuzzJobParsing

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# Seeds for the translation target: 8 fact bytes (bit 0 of the first picks
# compute) followed by each corpus code file.
seed_translate() {
  local dir="$1"
  mkdir -p "$dir"
  [ -d "$SHARED/corpus" ] || return 0
  local bin name first
  for bin in "$SHARED/corpus"/*.bin; do
    name="$(basename "$bin" .bin)"
    case "$name" in compute_*) first='\x03' ;; *) first='\x02' ;; esac
    { printf "$first"'\x40\x00\x03\x00\x00\x00\x00'; cat "$bin"; } >"$dir/$name"
  done
}

# Seeds for the job parser: one serve request per corpus job.
seed_jobs() {
  local dir="$1"
  mkdir -p "$dir"
  printf '{"job":{"key":"k","code":"x.bin","stage":"cs","local":[8,8,1],"shared":256,"tex":{"0":"2d"},"img":{"1":{"type":"2d","fmt":"r32ui"}},"tf":[{"stride":16,"words":[1,2]}],"c1":"00ff","attr":["sint"],"fout":["uint"]},"out":"o"}' >"$dir/full"
  printf '\xef\xbb\xbf[{"key":"a"}]' >"$dir/bom"
  [ -f "$SHARED/corpus/jobs.json" ] || return 0
  python3 - "$SHARED/corpus/jobs.json" "$dir" <<'PY'
import json, sys
jobs = json.load(open(sys.argv[1]))
for i, job in enumerate(jobs):
    with open(f"{sys.argv[2]}/job{i}", "w") as f:
        f.write(json.dumps({"job": job, "out": "o"}, separators=(",", ":")))
PY
}

status=0
for target in FuzzTranslate FuzzJobParsing; do
  work="$BUILD_DIR/fuzz-$target"
  mkdir -p "$work/corpus"
  seeds="$work/seeds"
  rm -rf "$seeds"
  if [ "$target" = FuzzTranslate ]; then seed_translate "$seeds"; else seed_jobs "$seeds"; fi
  regressions="$ROOT/tests/fuzz/regressions/$target"
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    echo "== $target: replaying regressions"
    if ! "$BUILD_DIR/tests/fuzz/$target" -timeout=10 -rss_limit_mb=2048 "$regressions"/* >"$work/regressions.log" 2>&1; then
      tail -40 "$work/regressions.log"; status=1; continue
    fi
  fi
  echo "== $target: fuzzing ${SECONDS_PER_TARGET}s"
  set +e
  (cd "$work" && "$BUILD_DIR/tests/fuzz/$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
     -max_len=65536 -print_final_stats=1 "$work/corpus" "$seeds") >"$work/fuzz.log" 2>&1
  rc=$?
  set -e
  grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "$work/fuzz.log" || true
  if [ $rc -ne 0 ]; then
    echo "$target FAILED (exit $rc); log: $work/fuzz.log"
    grep -E 'ERROR|runtime error|SUMMARY|artifact_prefix|Test unit written' "$work/fuzz.log" | head -20
    status=1
  fi
done
exit $status
