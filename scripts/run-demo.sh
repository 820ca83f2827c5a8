#!/usr/bin/env bash
# Builds the SDK and runs the demo application on the in-process virtual camera.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target tavlin-demo
exec build/default/tools/demo/tavlin-demo "$@"
