#!/usr/bin/env bash
# Runs every layer's unit-test program under valgrind memcheck (leaks included); any error fails.
#   scripts/valgrind.sh [build folder]        (default build/valgrind, configured if missing)
# TAVLIN_VALGRIND_LAYERS chooses a subset, e.g. TAVLIN_VALGRIND_LAYERS="platform settings".
# The integration and multiprocess suites are left to the sanitizer presets: under valgrind their
# time-outs and frame rates no longer hold.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
scripts/install-deps.sh valgrind
build=${1:-build/valgrind}
layers=${TAVLIN_VALGRIND_LAYERS:-"platform api camera vcam device imaging output settings dialogs"}
helpers="claim_holder registry_writer settings_saver"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=()
for layer in $layers; do targets+=("test_$layer"); done
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" $helpers

tests_dir=$(cd "$build/tests" && pwd)
supp=$(pwd)/tests/valgrind.supp
mkdir -p "$tests_dir/tmp/run" "$tests_dir/valgrind"
failed=()
total_start=$(date +%s)
for layer in $layers; do
    log="$tests_dir/valgrind/test_$layer.log"
    start=$(date +%s)
    # The tests' own folders and no display, as under ctest.
    if (cd "$tests_dir" && env TAVLIN_TEST_TMP="$tests_dir/tmp" XDG_RUNTIME_DIR="$tests_dir/tmp/run" \
        DISPLAY= valgrind --error-exitcode=1 --leak-check=full --suppressions="$supp" \
        --num-callers=30 "./test_$layer" --gtest_brief=1 >"$log" 2>&1); then
        status=ok
    else
        status=FAILED
        failed+=("$layer")
    fi
    tests=$(grep -o '^\[==========\] [0-9]* tests' "$log" | tail -1 | grep -o '[0-9]*' || echo "?")
    errors=$(grep -o 'ERROR SUMMARY: [0-9]*' "$log" | head -1 | grep -o '[0-9]*$' || echo "?")
    printf '%-10s %5s tests %4ds  memcheck errors %s  %s\n' "$layer" "$tests" \
        $(($(date +%s) - start)) "$errors" "$status"
done
echo "total $(($(date +%s) - total_start))s; logs in $tests_dir/valgrind"
if [ ${#failed[@]} -ne 0 ]; then
    echo "failed: ${failed[*]}"
    exit 1
fi
