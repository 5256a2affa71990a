# bash completion for lxnicctl and lxnicdefs. The commands and options come
# from the programs' own --help (parsed with bash-completion's _parse_help),
# so they always match the installed program; targets come from
# "lxnicctl --brief list" on the state file the command line names.

_lxnic_subcommands()
{
    # The "Subcommands:" section of a --help text: one name per line.
    "$@" --help 2>/dev/null | awk '/^Subcommands:/ { on = 1; next } on && /^  [^ -]/ { print $1; next } on && !/^  / { on = 0 }'
}

_lxnic()
{
    local cur prev words cword
    _init_completion || return

    local program=${words[0]}
    local -a path=() global=()
    local i word
    # The commands given so far, and the --state/--defs options to pass on.
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        case $word in
            --state | --defs)
                global+=("$word" "${words[i + 1]}")
                ((i++))
                ;;
            --state=* | --defs=*) global+=("$word") ;;
            -*) ;;
            *)
                local subs
                subs=$(_lxnic_subcommands "$program" "${path[@]}")
                [[ " ${subs//$'\n'/ } " == *" $word "* ]] && path+=("$word")
                ;;
        esac
    done

    case $prev in
        --state | --defs)
            _filedir
            return
            ;;
        --members | --id | --name) return ;;
    esac

    if [[ $cur == -* ]]; then
        # The command's own options, and the global ones given anywhere.
        local options
        options="$("$program" "${path[@]}" --help 2>/dev/null | _parse_help -)"
        [[ ${#path[@]} -gt 0 ]] && options+=" $("$program" --help 2>/dev/null | _parse_help -)"
        COMPREPLY=($(compgen -W "$(printf '%s\n' $options | sort -u)" -- "$cur"))
        return
    fi

    local subs
    subs=$(_lxnic_subcommands "$program" "${path[@]}")
    if [[ -n $subs ]]; then
        COMPREPLY=($(compgen -W "$subs" -- "$cur"))
        return
    fi

    case ${path[*]} in
        save | load | check | stamp) _filedir ;;
        show | panels | set | "team dissolve" | "team add" | "team remove" | "vlan add" | "vlan remove")
            # The first column of the brief list; names may hold spaces.
            local target
            while IFS= read -r target; do
                [[ $target == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$target")")
            done < <("$program" "${global[@]}" --brief list 2>/dev/null | sed 's/  .*//')
            ;;
    esac
}

complete -F _lxnic lxnicctl lxnicdefs
