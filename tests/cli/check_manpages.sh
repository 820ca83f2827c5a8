#!/usr/bin/env bash
# The manual pages generated from the programs' --help: groff reads each without a warning, and
# each carries its program's synopsis, every section of the help and an entry for every option.
#   check_manpages.sh WORK PROGRAM PAGE [PROGRAM PAGE]...
set -euo pipefail
work=$1
shift
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

while [ $# -ge 2 ]; do
    program=$1 page=$2
    shift 2
    name=$(basename "$program")
    [ -s "$page" ] || fail "no manual page at $page"
    "$program" --help > "$work/$name.help"
    got=0
    groff -man -Tutf8 -ww -z "$page" 2> "$work/$name.groff" || got=$?
    [ "$got" = 0 ] && [ ! -s "$work/$name.groff" ] ||
        { cat "$work/$name.groff" >&2; fail "groff warnings on $page"; }
    text=$(groff -man -Tutf8 -P-cbou -rLL=200n "$page" 2> /dev/null)
    grep -q "^ *$name - [a-z]" <<< "$text" || fail "$name: no NAME line"
    grep -qF "$("$program" --version | head -n 1)" <<< "$(grep . <<< "$text" | tail -n 1)" ||
        fail "$name: page footer lacks the version"
    # Every form of the command line is in the synopsis.
    while read -r form; do
        grep -qF -- "$form" <<< "$(sed -n '/^SYNOPSIS/,/^DESCRIPTION/p' <<< "$text")" ||
            fail "$name: '$form' not in the synopsis"
    done < <(sed -nE 's/^(Usage:| +or:) +//p' "$work/$name.help")
    # Every heading of the help is a section of the page.
    while read -r heading; do
        grep -qx "${heading^^}" <<< "$text" || fail "$name: no section ${heading^^}"
    done < <(sed -nE 's/^([A-Z][^:]*):$/\1/p' "$work/$name.help")
    # Every option of the help heads an entry.
    for option in $(grep -oE -- '^ +(-[a-zA-Z], )?--[a-z-]+' "$work/$name.help" | grep -oE -- '--[a-z-]+'); do
        grep -qE -- "^ +(-[a-zA-Z], )?$option([ =[]|$)" <<< "$text" ||
            fail "$name: $option does not head an entry of the manual page"
    done
done
echo "manual pages checked"
