#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang with ASan+UBSan) and fuzzes one or all of
# them, then merges what they found into the committed corpus:
#   scripts/fuzz.sh <target|all> <seconds> [extra libFuzzer options...]
# Targets: config_file registry_text vcam_packets daemon_protocol claim_table.
# Inputs found during the run collect in build/fuzz/work/<target>; crashes in
# build/fuzz/artifacts/<target>/. Only inputs that reach new code (edges, without hit counts)
# enter tests/fuzz/corpus/<target>, which keeps it to a few dozen files.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 2 ] || { echo "usage: $0 <target|all> <seconds> [libFuzzer options...]" >&2; exit 2; }
what=$1 seconds=$2
shift 2
all_targets=(config_file registry_text vcam_packets daemon_protocol claim_table)
if [ "$what" = all ]; then targets=("${all_targets[@]}"); else targets=("$what"); fi

scripts/install-deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

# Scratch files of the targets live in memory, not on disk.
export TAVLIN_TEST_TMP=${TAVLIN_TEST_TMP:-/dev/shm/tavlin-fuzz-$(id -u)}
export XDG_RUNTIME_DIR=$TAVLIN_TEST_TMP/run
mkdir -p "$XDG_RUNTIME_DIR"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

max_len() {
    case $1 in
        vcam_packets | daemon_protocol) echo 16384 ;;
        *) echo 4096 ;;
    esac
}

status=0
for target in "${targets[@]}"; do
    exe=build/fuzz/tests/fuzz/fuzz_$target
    corpus=tests/fuzz/corpus/$target
    work=build/fuzz/work/$target
    artifacts=build/fuzz/artifacts/$target/
    mkdir -p "$corpus" "$work" "$artifacts"
    echo "== $target: ${seconds}s"
    log=build/fuzz/$target.log
    if ! "$exe" -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts" "$@" \
            "$work" "$corpus" >"$log" 2>&1; then
        echo "$target: FAILED, see $log and $artifacts" >&2
        status=1
    fi
    # The last status line and the final statistics: executions, rate, coverage, corpus.
    grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log" || true
    before=$(find "$corpus" -type f | wc -l)
    "$exe" -merge=1 -use_counters=0 -max_len="$(max_len "$target")" "$corpus" "$work" \
        >"build/fuzz/$target.merge.log" 2>&1 || { echo "$target: merge failed" >&2; status=1; }
    echo "$target: corpus $before -> $(find "$corpus" -type f | wc -l) files"
done
exit $status
