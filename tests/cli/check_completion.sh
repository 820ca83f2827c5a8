#!/usr/bin/env bash
# tavlin-ctl's bash completion, sourced into a plain bash (no bash-completion package): what it
# offers after an option prefix, after --set/--get, --format, --scene and file options, checked
# against what the program's help and listings say and what its parser accepts.
#   check_completion.sh TOOL COMPLETION_FILE WORK
set -euo pipefail
tool=$1 completion=$2 work=$3
rm -rf "$work" && mkdir -p "$work/home" "$work/run" "$work/files/subfolder" && chmod 700 "$work/run"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
touch "$work/files/shot.png" "$work/files/other.bmp"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

set +eu
# shellcheck disable=SC1090
source "$completion"
set -eu
complete -p tavlin-ctl | grep -q -- '-F _tavlin_ctl' || fail "no completion registered"

# Completes the command line given as bash splits it (at spaces, '=' and ':'), the cursor at the
# end; the replies one a line in $reply.
offer() {
    COMP_WORDS=("$tool" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tavlin_ctl
    reply=$(printf '%s\n' "${COMPREPLY[@]}")
}
has() { grep -qx -- "$1" <<< "$reply" || fail "'$1' not offered for [$2]: $(tr '\n' ' ' <<< "$reply")"; }
exactly() { [ "$reply" = "$1" ] || fail "offered for [$2]: $(tr '\n' ' ' <<< "$reply"), not $1"; }

# Options: exactly the long options of the help (those taking a value with '='), shorts after '-'.
offer --
[ "$(sed 's/=$//' <<< "$reply" | sort)" = \
  "$("$tool" --help | grep -oE -- '^ +(-[a-zA-Z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort)" ] ||
    fail "options offered differ from the help's: $(tr '\n' ' ' <<< "$reply")"
has --set= --; has --stats --; has --format= --
offer --se
exactly $'--set=' "--se"
offer -
has -f -; has -q -; has --device= -

# Setting names after --set (with '=' for the value) and --get: every setting --list-settings shows.
settings=$("$tool" --list-settings | awk 'NR > 1 { print $1 }')
[ "$(wc -l <<< "$settings")" -gt 30 ] || fail "too few settings listed"
offer --set ''
[ "$reply" = "$(sed 's/$/=/' <<< "$settings")" ] || fail "--set offers $(tr '\n' ' ' <<< "$reply")"
offer -g ''
[ "$reply" = "$settings" ] || fail "-g offers $(tr '\n' ' ' <<< "$reply")"
offer --set exposure = 500,gam
exactly '500,gamma=' "--set exposure=500,gam"
offer --set exposure = 5
exactly '' "--set exposure=5"
offer --get = exposure,colorm
exactly 'exposure,colormode' "--get=exposure,colorm"

# File formats after --format / -f, each one the parser takes; the help's seven among them.
offer --format ''
for format in bmp raw jpg100 jpg70 jpg20 png tiff; do has "$format" "--format"; done
for format in $reply; do
    "$tool" -q --in-process --format "$format" --list-settings > /dev/null ||
        fail "format $format offered but refused"
done
offer --format = p
exactly png "--format=p"
offer --format =
has bmp "--format="
offer -f jpg1
exactly jpg100 "-f jpg1"
offer -fti
exactly $'-ftiff\n-ftif' "-fti"

# Scenes and pacing modes, each one the parser takes.
offer --scene ''
for scene in $reply; do
    "$tool" -q --in-process --scene "$scene" --list-settings > /dev/null ||
        fail "scene $scene offered but refused"
done
has chart "--scene"
offer --pacing = f
exactly fast "--pacing=f"

# File names for file options; nothing for numbers and words that are no option.
cd files
offer --snapshot s
has shot.png "--snapshot s"; has subfolder "--snapshot s"
offer -o o
exactly other.bmp "-o o"
cd ..
offer --device ''
exactly '' "--device"
offer list
exactly '' "list"

# A command name that runs nothing offers nothing, quietly.
tool=$work/no-such-tavlin-ctl
PATH=$work/no-programs offer --
exactly '' "-- of a missing program"
echo "tavlin-ctl completion checks passed"
