# bash completion for tavlin-ctl: options, setting names after --set and --get, file formats
# after --format, scenes, pacing modes and file names. The lists come from the program itself
# (tavlin-ctl --complete WHAT), so they are always those of the installed version. Needs nothing
# from the bash-completion package.

# COMP_WORDS is split at '=' and ':'; the program sees those words joined. Sets _tavlin_words
# (the joined words up to the cursor) and _tavlin_keep (how much of the last one readline keeps:
# a reply replaces only the text after the last '=' or ':').
_tavlin_ctl_words() {
    _tavlin_words=()
    local i word
    for ((i = 0; i <= COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if ((i > 1)) && [[ $word =~ ^[=:]+$ || ${COMP_WORDS[i - 1]} =~ ^[=:]+$ ]]; then
            _tavlin_words[-1]+=$word
        else
            _tavlin_words+=("$word")
        fi
    done
    word=${COMP_WORDS[COMP_CWORD]}
    [[ $word =~ ^[=:]+$ ]] && word=
    _tavlin_keep=$((${#_tavlin_words[-1]} - ${#word}))
    return 0
}

# Offers each candidate (a whole word) that starts with $cur, less what readline keeps.
_tavlin_ctl_offer() {
    local candidate
    for candidate in "$@"; do
        [[ $candidate == "$cur"* ]] && COMPREPLY+=("${candidate:_tavlin_keep}")
    done
    return 0
}

_tavlin_ctl() {
    COMPREPLY=()
    local program=${COMP_WORDS[0]} _tavlin_words _tavlin_keep
    [[ $program == */* && -x $program ]] || program=tavlin-ctl
    _tavlin_ctl_words
    local cur=${_tavlin_words[-1]} prev=
    ((${#_tavlin_words[@]} > 2)) && prev=${_tavlin_words[-2]}

    local long short kind table lead= value= valueKind=
    table=$("$program" --complete options 2> /dev/null) || return 0
    while read -r long short kind; do
        if [[ $cur == "$long="* ]]; then
            lead=$long= value=${cur#*=} valueKind=$kind
        elif [[ $short != - && $cur == "$short"?* && $kind != flag ]]; then
            lead=$short value=${cur#"$short"} valueKind=$kind
        elif [[ -z $lead && $kind != flag && ($prev == "$long" || $prev == "$short") ]]; then
            value=$cur valueKind=$kind
        fi
    done <<< "$table"

    local names=() name head=
    case $valueKind in
        '')
            [[ $cur == -* ]] || return 0
            while read -r long short kind; do
                if [[ $kind == flag ]]; then names+=("$long"); else names+=("$long="); fi
                [[ $short != - && $cur != --* ]] && names+=("$short")
            done <<< "$table"
            _tavlin_ctl_offer "${names[@]}"
            [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2> /dev/null || true
            ;;
        format | scene | pacing)
            [[ $valueKind == pacing ]] || valueKind+=s
            mapfile -t names < <("$program" --complete "$valueKind" 2> /dev/null)
            _tavlin_ctl_offer "${names[@]/#/$lead}"
            ;;
        settings | assignments)
            # A comma-separated list: complete its last item; a NAME=VALUE item's value is a
            # number, which nothing can offer.
            [[ $value == *,* ]] && head=${value%,*},
            [[ $valueKind == assignments && ${value##*,} == *=* ]] && return 0
            mapfile -t names < <("$program" --complete settings 2> /dev/null)
            for name in "${names[@]}"; do
                [[ $valueKind == assignments ]] && name+==
                _tavlin_ctl_offer "$lead$head$name"
            done
            [[ $valueKind == assignments ]] && compopt -o nospace 2> /dev/null || true
            ;;
        file)
            mapfile -t names < <(compgen -f -- "$value")
            _tavlin_ctl_offer "${names[@]/#/$lead}"
            compopt -o filenames 2> /dev/null || true
            ;;
    esac
    return 0
}
complete -F _tavlin_ctl tavlin-ctl
