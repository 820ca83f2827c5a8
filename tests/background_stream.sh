#!/usr/bin/env bash
# Starts or stops the program that streams in-process virtual cameras beside the test suite.
#   background_stream.sh start|stop <background_streamer> <state folder>
# stop fails unless the program streamed throughout; it also removes the run's claim sections.
set -euo pipefail
verb=$1 program=$2 folder=$3

case $verb in
start)
    if [ -f "$folder/pid" ] && kill -0 "$(cat "$folder/pid")" 2>/dev/null; then
        kill -TERM "$(cat "$folder/pid")" || true   # left over from an interrupted run
        sleep 1
    fi
    rm -rf "$folder"
    mkdir -p "$folder/config"
    # Its settings and output stay in its folder; it is detached from ctest's process group so
    # that it outlives this script.
    XDG_CONFIG_HOME="$folder/config" setsid "$program" "$folder" \
        > "$folder/log" 2>&1 < /dev/null &
    echo $! > "$folder/pid"
    for _ in $(seq 1 300); do
        [ -f "$folder/ready" ] && { echo "streaming in the background (pid $(cat "$folder/pid"))"; exit 0; }
        kill -0 "$(cat "$folder/pid")" 2>/dev/null || break
        sleep 0.1
    done
    echo "the background streamer did not start:"
    cat "$folder/status" "$folder/log" 2>/dev/null || true
    exit 1
    ;;
stop)
    status=0
    if [ -f "$folder/pid" ]; then
        pid=$(cat "$folder/pid")
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 1 300); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            echo "the background streamer did not stop"
            kill -KILL "$pid" 2>/dev/null || true
            status=1
        fi
    fi
    cat "$folder/status" 2>/dev/null || { echo "no status from the background streamer"; status=1; }
    grep -q '^ok' "$folder/status" 2>/dev/null || status=1
    if [ -n "${TAVLIN_SHARED_SECTION:-}" ]; then
        # With those of the soak and of test processes that ended without clearing up.
        rm -f "/dev/shm/${TAVLIN_SHARED_SECTION#/}" "/dev/shm/${TAVLIN_SHARED_SECTION#/}"-*
    fi
    exit $status
    ;;
*)
    echo "usage: background_stream.sh start|stop <program> <folder>" >&2
    exit 64
    ;;
esac
