# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for tarnwick-cli. The program itself says what there is to complete: the
# verbs from its usage, each verb's options from the verb's --help (a value named <file>
# is a file), and the setting names of read and write from the catalogue of settings
# (tarnwick-cli --list-settings VERB), so nothing here goes out of date.

# The verbs, one a line.
_tarnwick_cli_verbs()
{
    "$1" --help 2>/dev/null | sed -n '/^Verbs:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'
}

# The options of a verb, one "OPTION VALUE" a line; VALUE is the name of the option's value
# as the help gives it (file, format, ms, ...), empty for an option without one.
_tarnwick_cli_options()
{
    "$1" "$2" --help 2>/dev/null |
        sed -nE 's/^ +(-[^ ,]+, )*(--[a-z][a-z-]*)( <([^>]*)>)?( .*)?$/\2 \4/p'
}

_tarnwick_cli()
{
    local cur prev words cword
    _init_completion -n = || return
    local program=${words[0]}

    if ((cword == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$(_tarnwick_cli_verbs "$program") --help --version" -- "$cur")
        return
    fi
    local verb=${words[1]}
    local options
    options=$(_tarnwick_cli_options "$program" "$verb")

    # The value of the option before.
    local option value
    while read -r option value; do
        [[ $option == "$prev" && -n $value ]] || continue
        case $value in
            file) _filedir ;;
            format) mapfile -t COMPREPLY < <(compgen -W 'table json csv' -- "$cur") ;;
        esac
        return
    done <<<"$options"

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(cut -d' ' -f1 <<<"$options")" -- "$cur")
        return
    fi
    case $verb in
        read)
            mapfile -t COMPREPLY < <(compgen -W "$("$program" --list-settings read 2>/dev/null)" -- "$cur")
            ;;
        write)
            # "operator=" waits for its value.
            mapfile -t COMPREPLY < <(compgen -W "$("$program" --list-settings write 2>/dev/null)" -- "$cur")
            compopt -o nospace 2>/dev/null
            ;;
        apply | commission)
            # The profile, a JSON file.
            _filedir json
            ;;
        report)
            # The commissioning record, JSON Lines.
            _filedir jsonl
            ;;
    esac
}
complete -F _tarnwick_cli tarnwick-cli
