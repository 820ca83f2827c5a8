#!/usr/bin/env bash
# Builds and runs the test suite:
#   default   the whole suite (optimised build, SIMD kernels chosen by CPU)
#   portable  the image-kernel tests again with the portable kernels forced
#   asan      the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan      the whole suite under ThreadSanitizer
# TAVLIN_TEST_PRESETS chooses a subset, e.g. TAVLIN_TEST_PRESETS="default tsan".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
presets=${TAVLIN_TEST_PRESETS:-"default portable asan tsan"}
# Most tests wait on frames and the camera's pauses rather than compute, so twice as many run
# as there are processors.
jobs=$(nproc)
test_jobs=$((2 * jobs))
for preset in $presets; do
    echo "== preset $preset"
    # The default build also compiles the benchmarks (without the OpenCV anchors unless OpenCV's
    # headers are installed), so a change that breaks them fails here rather than when someone
    # next measures; they are not run.
    extra=()
    [ "$preset" = default ] && extra=(-DTAVLIN_BUILD_BENCH=ON)
    cmake --preset "$preset" -DTAVLIN_WERROR=ON "${extra[@]}" >/dev/null
    if [ "$preset" = portable ]; then
        cmake --build --preset "$preset" -j "$jobs" --target test_imaging
        # The image kernels need no camera, so no background streamer beside them.
        ctest --preset "$preset" -j "$test_jobs" -R '^imaging\.' -FA background_stream
    else
        cmake --build --preset "$preset" -j "$jobs"
        ctest --preset "$preset" -j "$test_jobs"
        # Naming and magic numbers (.clang-tidy), once, from the default build's compile commands.
        if [ "$preset" = default ]; then
            scripts/tidy.sh build/default
        fi
    fi
done
