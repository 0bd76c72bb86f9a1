#!/usr/bin/env bash
# Installs what is missing, builds from scratch-or-incrementally and runs every test.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
extra=()
[ "${CI:-}" = "true" ] && extra+=(-DZV_WERROR=ON)
BUILD_DIR="$BUILD_DIR" bash "$ROOT/scripts/build.sh" "${extra[@]}"
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)"
