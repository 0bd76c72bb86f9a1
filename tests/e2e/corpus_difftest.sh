#!/usr/bin/env bash
# Runs the translator over the real-shader corpus and compares what each
# translated compute shader computes with what its GLSL computes. Shaders
# named in corpus-must-pass.txt must PASS; those in corpus-known-differences.txt
# must fail with exactly the recorded difference.
# Exits 77 (skipped) when the shared corpus or its tools are absent.
set -uo pipefail
TOOL="$1"; ROOT="$2"; SCRATCH="$3"
SHARED="${ZV_SHARED_DIR:-$ROOT/../shared}"
DIFFTEST="$SHARED/tools/difftest/difftest"
VKRUN="$(dirname "$TOOL")/vkrun/vkrun"
if [ ! -d "$SHARED/corpus" ] || [ ! -f "$DIFFTEST" ]; then
  echo "corpus or difftest absent: skipped"; exit 77
fi
if [ ! -x "$VKRUN" ]; then
  echo "vkrun not built (scripts/test.sh builds it): skipped"; exit 77
fi
rm -rf "$SCRATCH"; mkdir -p "$SCRATCH"
# Run a scratch copy of the harness that accepts the translator's texture
# constant-buffer slot -1 and binds integer textures through a float view of
# the same bits (patch_difftest.py says why); a harness the patch no longer
# fits fails the test rather than running unpatched.
if ! python3 "$ROOT/tests/e2e/patch_difftest.py" "$DIFFTEST" "$SCRATCH/difftest"; then
  echo "cannot patch the difftest harness"; exit 1
fi
python3 "$SCRATCH/difftest" --translator "$TOOL" --corpus "$SHARED/corpus" --vkrun "$VKRUN" \
  --runs "$SHARED/tools/difftest/runs/corpus.json" \
  --keep "$SCRATCH/keep" -j "$(nproc)" > "$SCRATCH/difftest.log" 2>&1
cat "$SCRATCH/difftest.log"
fail=0
while read -r name; do
  [ -z "$name" ] && continue
  case "$name" in \#*) continue ;; esac
  if ! grep -q "^PASS $name\$" "$SCRATCH/difftest.log"; then
    echo "must-pass shader did not pass: $name"
    fail=1
  fi
done < "$ROOT/tests/e2e/corpus-must-pass.txt"
# Shaders whose compiled code itself differs from their GLSL must fail with
# exactly the recorded difference: that still pins everything else they do.
while IFS=$'\t' read -r name expected; do
  [ -z "$name" ] && continue
  case "$name" in \#*) continue ;; esac
  actual="$(grep "^[A-Z]* $name[: ]" "$SCRATCH/difftest.log" | head -1)"
  if [ "$actual" != "$expected" ]; then
    echo "known difference changed for $name:"
    echo "  expected: $expected"
    echo "  actual:   $actual"
    fail=1
  fi
done < "$ROOT/tests/e2e/corpus-known-differences.txt"
exit $fail
