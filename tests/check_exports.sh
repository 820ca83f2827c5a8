#!/usr/bin/env bash
# Compares the shared library's exported functions with the catalogue (cmake/catalogue.txt, in
# ordinal order): every catalogue export is there, nothing else leaks out beyond the host,
# virtual-camera and extension interfaces, and the catalogue and the version script keep the
# ordinal order.
set -euo pipefail
lib=$1 catalogue=$2
map=$(dirname "$catalogue")/exports.map
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWiVv]$/ {print $3}' | sed 's/@.*//' | sort -u)

missing=$(comm -13 <(printf '%s\n' "$exported") <(sort -u "$catalogue"))
extra=$(comm -23 <(printf '%s\n' "$exported" | grep -v -E '^(TavlinHost_|TavlinVcam_|TavlinExt_)') \
    <(sort -u "$catalogue"))
[ -z "$missing" ] || { echo "catalogue exports missing:"; printf '  %s\n' $missing; exit 1; }
[ -z "$extra" ] || { echo "exported but not in the catalogue:"; printf '  %s\n' $extra; exit 1; }

# Ordinals follow the alphabetical order of the names (byte order).
LC_ALL=C sort -c "$catalogue" || { echo "catalogue out of ordinal order"; exit 1; }
[ "$(wc -l < "$catalogue")" -eq 124 ] || { echo "catalogue does not hold 124 exports"; exit 1; }
diff <(grep -o 'Tavlin_[A-Za-z0-9_]*' "$map") "$catalogue" > /dev/null ||
    { echo "version script order differs from the catalogue"; exit 1; }
echo "124 catalogue exports in ordinal order, no extra symbols"
