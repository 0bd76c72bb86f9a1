#!/usr/bin/env bash
# Runs the hand-assembled shaders of small_shaders.py (forms that once gave
# invalid modules) through the shared differential harness against their
# small GLSL references: every one must PASS.
# Args: tool path, repo root, scratch dir. Exits 77 (skipped) only when the
# shared directory is absent; under CI a missing vkrun is a failure.
set -uo pipefail
TOOL="$1"; ROOT="$2"; SCRATCH="$3"
SHARED="${ZV_SHARED_DIR:-$ROOT/../shared}"
DIFFTEST="$SHARED/tools/difftest/difftest"
VKRUN="${ZV_VKRUN:-$(dirname "$TOOL")/vkrun/vkrun}"
if [ ! -f "$DIFFTEST" ]; then
  echo "difftest absent: skipped"; exit 77
fi
if [ ! -x "$VKRUN" ]; then
  if [ "${CI:-}" = "true" ]; then
    echo "vkrun not built at $VKRUN (scripts/test.sh builds it)"; exit 1
  fi
  echo "vkrun not built (scripts/test.sh builds it): skipped"; exit 77
fi
rm -rf "$SCRATCH"; mkdir -p "$SCRATCH"
python3 "$ROOT/tests/e2e/small_shaders.py" "$SCRATCH/small" || { echo "writing the shaders failed"; exit 1; }
python3 "$DIFFTEST" --translator "$TOOL" --corpus "$SCRATCH/small" --vkrun "$VKRUN" \
  --runs "$SCRATCH/small/runs.json" --keep "$SCRATCH/keep" -v > "$SCRATCH/difftest.log" 2>&1
rc=$?
cat "$SCRATCH/difftest.log"
fail=0
[ "$rc" -eq 0 ] || { echo "difftest ended with status $rc"; fail=1; }
for name in $(python3 -c 'import json,sys; print(" ".join(j["key"] for j in json.load(open(sys.argv[1]))))' \
                "$SCRATCH/small/jobs.json"); do
  lines="$(grep -E "^[A-Za-z]+:? $name([: ]|\$)" "$SCRATCH/difftest.log")"
  if [ "$lines" != "PASS $name" ]; then
    echo "shader did not pass: $name"; fail=1
  fi
done
exit $fail
