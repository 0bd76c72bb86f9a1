#!/usr/bin/env bash
# Runs the translator over the real-shader corpus through the shared
# differential harness, which executes each translated module and its GLSL on
# lavapipe and compares what they compute. Shaders named in
# corpus-must-pass.txt must PASS; those in corpus-known-differences.txt must
# fail with exactly the recorded line.
# Args: tool path, repo root, scratch dir. Exits 77 (skipped) only when the
# shared directory is absent; under CI a missing vkrun is a failure.
set -uo pipefail
TOOL="$1"; ROOT="$2"; SCRATCH="$3"
SHARED="${ZV_SHARED_DIR:-$ROOT/../shared}"
DIFFTEST="$SHARED/tools/difftest/difftest"
VKRUN="${ZV_VKRUN:-$(dirname "$TOOL")/vkrun/vkrun}"
LISTS="${ZV_CORPUS_LISTS:-$ROOT/tests/e2e}"
if [ ! -d "$SHARED/corpus" ] || [ ! -f "$DIFFTEST" ]; then
  echo "corpus or difftest absent: skipped"; exit 77
fi
if [ ! -x "$VKRUN" ]; then
  if [ "${CI:-}" = "true" ]; then
    echo "vkrun not built at $VKRUN (scripts/test.sh builds it)"; exit 1
  fi
  echo "vkrun not built (scripts/test.sh builds it): skipped"; exit 77
fi
rm -rf "$SCRATCH"; mkdir -p "$SCRATCH"
python3 "$DIFFTEST" --translator "$TOOL" --corpus "$SHARED/corpus" --vkrun "$VKRUN" \
  --runs "$SHARED/tools/difftest/runs/corpus.json" \
  --keep "$SCRATCH/keep" -j "$(nproc)" > "$SCRATCH/difftest.log" 2>&1
rc=$?
cat "$SCRATCH/difftest.log"
fail=0
if [ "$rc" -ne 0 ] && [ "$rc" -ne 1 ]; then
  echo "difftest ended with status $rc (harness error)"; fail=1
fi
# Every line that names a listed shader must be exactly "PASS name": a SKIP,
# an error or any other text from the harness is not a pass.
while read -r name; do
  [ -z "$name" ] && continue
  case "$name" in \#*) continue ;; esac
  lines="$(grep -E "^[A-Za-z]+:? $name([: ]|\$)" "$SCRATCH/difftest.log")"
  if [ "$lines" != "PASS $name" ]; then
    echo "must-pass shader did not pass: $name"
    [ -n "$lines" ] && echo "  harness said: $lines"
    fail=1
  fi
done < "$LISTS/corpus-must-pass.txt"
# Shaders whose compiled code itself differs from their GLSL must fail with
# exactly the recorded difference: that still pins everything else they do.
while IFS=$'\t' read -r name expected; do
  [ -z "$name" ] && continue
  case "$name" in \#*) continue ;; esac
  actual="$(grep -E "^[A-Za-z]+:? $name([: ]|\$)" "$SCRATCH/difftest.log")"
  if [ "$actual" != "$expected" ]; then
    echo "known difference changed for $name:"
    echo "  expected: $expected"
    echo "  actual:   $actual"
    fail=1
  fi
done < "$LISTS/corpus-known-differences.txt"
exit $fail
