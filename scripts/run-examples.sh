#!/usr/bin/env bash
# Installs what is missing, builds, and translates the example jobs into out/examples.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}" bash "$ROOT/scripts/build.sh"
cd "$ROOT/examples"
"${BUILD_DIR:-$ROOT/build}/fenkvanter" jobs.json "$ROOT/out/examples"
