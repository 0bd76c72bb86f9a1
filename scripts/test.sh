#!/usr/bin/env bash
# Installs what is missing, builds from scratch-or-incrementally and runs every test.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
extra=()
[ "${CI:-}" = "true" ] && extra+=(-DZV_WERROR=ON)
BUILD_DIR="$BUILD_DIR" bash "$ROOT/scripts/build.sh" "${extra[@]}"
# The differential corpus test runs shaders on a software Vulkan driver
# through vkrun, which lives beside the corpus; build it into our tree.
# Its build script installs the Debian packages it needs. It is rebuilt
# (incrementally) on every run so that a changed harness is never run against
# a stale vkrun; under CI a failed build fails the run instead of letting the
# corpus test skip.
SHARED="$ROOT/../shared"
if [ -f "$SHARED/tools/vkrun/build.sh" ]; then
  if ! BUILD_DIR="$BUILD_DIR/vkrun" bash "$SHARED/tools/vkrun/build.sh" >"$BUILD_DIR/vkrun-build.log" 2>&1; then
    cat "$BUILD_DIR/vkrun-build.log"
    echo "test.sh: building vkrun failed"
    [ "${CI:-}" = "true" ] && exit 1
  fi
fi
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)"

# CI also runs the suite under the sanitizers, fuzzes briefly and checks that
# the benchmark still builds and runs.
if [ "${CI:-}" = "true" ]; then
  BUILD_DIR="$ROOT/build-sanitize" bash "$ROOT/scripts/sanitize.sh"
  BUILD_DIR="$ROOT/build-fuzz" bash "$ROOT/scripts/fuzz.sh" 30
  BUILD_DIR="$ROOT/build-bench" bash "$ROOT/scripts/bench.sh" quick
fi
