#!/usr/bin/env bash
# Builds and runs the whole test suite: the normal build, the portable-kernel build, and the
# AddressSanitizer+UndefinedBehaviorSanitizer build. TAVLIN_TEST_PRESETS overrides the list
# (for example "tsan" for the ThreadSanitizer run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
presets=${TAVLIN_TEST_PRESETS:-"default asan"}
jobs=$(nproc)
for preset in $presets; do
    echo "== preset $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done
