# bash completion for glimmora-cli. The commands and their options are read from the tool's own
# --help, so they are always those of the installed tool.

_glimmora_cli_usages() {
    "$1" --help 2>/dev/null | sed -n 's/^  glimmora-cli \(\[--data DIR\] \)\{0,1\}//p'
}

_glimmora_cli() {
    local cur prev words cword
    _init_completion || return

    local i command=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --data) ((i++)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    case $prev in
        --data | --to) _filedir -d; return ;;
        --pdf | --out) _filedir; return ;;
    esac

    if [[ -z $command ]]; then
        local commands
        commands=$(_glimmora_cli_usages "${words[0]}" | awk '{print $1}' | tr '|' ' ')
        COMPREPLY=($(compgen -W "$commands --data --help --version" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        local options
        options=$(_glimmora_cli_usages "${words[0]}" | awk -v c="$command" '$1 == c' | grep -o -- '--[a-z-]*')
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    _filedir
}

complete -F _glimmora_cli glimmora-cli
