#!/usr/bin/env bash
# clang-tidy's naming and magic-number checks (.clang-tidy) over the library's sources, two
# files at a time, from the default preset's compile_commands.json. Exits non-zero on any finding.
#   scripts/tidy.sh [build dir]     (default: build/default)
# Left out of the magic-number check: the format tables and the dialog resources (see .clang-tidy).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
tidy=${CLANG_TIDY:-$(command -v clang-tidy-14 || command -v clang-tidy)}
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json" >&2; exit 2; }
checked='diag|platform|gdi|window|settings|output|api|transport|camera|dialogs'
format_tables='imaging|device|usb|vcam'
files=$(grep -oE '"file": *"[^"]*/src/('"$checked|$format_tables"')/[^"]*\.cpp"' \
            "$build/compile_commands.json" | sed -E 's/.*"([^"]*)"$/\1/' | sort -u)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$(date +%s)
status=0
# Format-table folders get the naming check only.
printf '%s\n' $files | xargs -P2 -I{} sh -c '
    case "$1" in
        */src/imaging/*|*/src/device/*|*/src/usb/*|*/src/vcam/*)
            extra="--checks=-readability-magic-numbers --header-filter=/src/(imaging|device|usb|vcam)/" ;;
        */src/gdi/gdi_blit.cpp|*/src/output/sample_rows*|*/src/output/display_kernels.cpp|\
        */src/platform/text_convert.cpp|*/src/window/x11_image.cpp|*/src/output/avi_writer.cpp|\
        */src/output/*_file.cpp|*/src/api/exports_*.cpp|*/src/dialogs/*)
            extra="--checks=-readability-magic-numbers" ;;
        *) extra="" ;;
    esac
    "$0" -p "$2" --quiet --extra-arg=-Wno-unknown-warning-option $extra "$1" 2>/dev/null' "$tidy" {} "$build" >"$log" || status=1
grep -E "(warning|error):" "$log" | sort -u || true
count=$(grep -cE "(warning|error):" "$log" || true)
echo "clang-tidy: $count findings in $(( $(date +%s) - start ))s" >&2
[ "$status" -eq 0 ] && [ "$count" -eq 0 ]
