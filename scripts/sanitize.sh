#!/usr/bin/env bash
# Builds the project with AddressSanitizer + UndefinedBehaviorSanitizer in its
# own build dir and runs every ctest test there (unit tests, the driver
# end-to-end test and the differential corpus test).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-sanitize}"
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DZV_SANITIZE=ON "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
# The corpus difftest needs vkrun beside the tool; build it unsanitized
# (it only runs the translated modules).
SHARED="$ROOT/../shared"
if [ -f "$SHARED/tools/vkrun/build.sh" ] && [ ! -x "$BUILD_DIR/vkrun/vkrun" ]; then
  BUILD_DIR="$BUILD_DIR/vkrun" bash "$SHARED/tools/vkrun/build.sh" >/dev/null
fi
# Any report fails the run; leaks count too.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)"
