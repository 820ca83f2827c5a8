#!/usr/bin/env bash
# Long soak of the SDK on the in-process virtual camera: SOAK_CYCLES initialise -> preview ->
# stop -> release cycles, then SOAK_STREAM_SECONDS of streaming with SOAK_FAULT_PERCENT % of the
# frames hit by an injected driver fault and a recording every fourth segment. Prints the
# figures and fails when descriptors, threads, shared memory or resident memory did not come
# back to their baseline. Runs niced in its own build folder (build/soak).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cycles=${SOAK_CYCLES:-1500}
seconds=${SOAK_STREAM_SECONDS:-360}
percent=${SOAK_FAULT_PERCENT:-1}
build=build/soak
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice cmake --build "$build" --target tavlin_soak -j "$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run"
chmod 700 "$work/run"
# Its own runtime folder: never the user's daemon.
XDG_RUNTIME_DIR="$work/run" DISPLAY= nice "$build/tests/tavlin_soak" \
    --cycles "$cycles" --stream-seconds "$seconds" --fault-percent "$percent" --folder "$work"
