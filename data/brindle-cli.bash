# bash completion for brindle-cli
# The commands and their options are read from brindle-cli's own --help, so
# this file needs no change when an option is added.

_brindle_cli_commands()
{
    "$1" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'
}

_brindle_cli_doctypes()
{
    printf '%s\n' 'XHTML 1.0 Transitional' 'XHTML 1.0 Strict' 'XHTML 1.1' 'XHTML Mobile 1.0' \
        'None' 'HTML 4.01 Transitional' 'HTML 4.01 Strict'
}

_brindle_cli()
{
    local cur prev words cword
    _init_completion || return

    local i command=
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$(_brindle_cli_commands "$1")" -- "$cur"))
        fi
        return
    fi

    case $prev in
        --profile | --save-profile)
            _filedir wmp
            return
            ;;
        -o | --output)
            _filedir
            return
            ;;
        --doctype)
            # The names hold blanks: match what was typed without its
            # escapes or opening quote, and escape the blanks of the answer
            # unless a quote is open.
            local typed=${cur//\\/} IFS=$'\n'
            typed=${typed#[\'\"]}
            COMPREPLY=($(compgen -W "$(_brindle_cli_doctypes)" -- "$typed"))
            [[ $cur == [\'\"]* ]] || COMPREPLY=("${COMPREPLY[@]// /\\ }")
            return
            ;;
        --og-type)
            COMPREPLY=($(compgen -W 'website article profile book video.movie music.song' -- "$cur"))
            return
            ;;
        --twitter-card)
            COMPREPLY=($(compgen -W 'summary summary_large_image' -- "$cur"))
            return
            ;;
        --use)
            local tags="all basic social title description keywords author copyright owner distribution"
            tags+=" rating revisit-after robots cache-control charset content-language"
            local head=
            [[ $cur == *,* ]] && head=${cur%,*},
            COMPREPLY=($(compgen -P "$head" -W "$tags" -- "${cur##*,}"))
            compopt -o nospace 2>/dev/null
            return
            ;;
    esac
    # Any other option that takes a value: free text.
    if [[ $prev == -* ]] && "$1" "$command" --help 2>/dev/null | grep -q -- "[ ,]$prev <"; then
        return
    fi

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_parse_help "$1" "$command --help")" -- "$cur"))
        return
    fi
    [[ $command == colorize ]] && _filedir '@(htm|html|xhtml|xht)'
}
complete -F _brindle_cli brindle-cli
