#!/usr/bin/env bash
# Compares the shared library's exported functions with the catalogue: every export present is
# in the catalogue or under the host/virtual-camera prefixes, and nothing else leaks out.
set -euo pipefail
lib=$1 catalogue=$2
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWiVv]$/ {print $3}' | sed 's/@.*//' | sort -u)
bad=$(comm -23 <(printf '%s\n' "$exported" | grep -v -E '^(TavlinHost_|TavlinVcam_)') <(sort -u "$catalogue"))
if [ -n "$bad" ]; then
    echo "exported but not in the catalogue:"; printf '  %s\n' $bad; exit 1
fi
echo "$(printf '%s\n' "$exported" | grep -c '^Tavlin_') catalogue exports, no extra symbols"
