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
        'None' 'HTML 4.01 Transitional' 'HTML 4.01 Strict' 'HTML 5'
}

# The codes of the charset table, in its order.
_brindle_cli_charsets()
{
    printf '%s\n' ASMO-708 DOS-720 iso-8859-6 windows-1256 windows-1257 ibm852 iso-8859-2 \
        windows-1250 gb18030 gb2312 hz-gb-2312 big5 cp866 iso-8859-5 koi8-r koi8-ru windows-1251 \
        iso-8859-7 windows-1253 DOS-862 iso-8859-8-i iso-8859-8 windows-1255 euc-jp shift_jis euc-kr \
        windows-874 iso-8859-9 utf-8 windows-1258 iso-8859-1
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
        --charset)
            COMPREPLY=($(compgen -W "$(_brindle_cli_charsets)" -- "$cur"))
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'text json' -- "$cur"))
            return
            ;;
        --structured-data)
            COMPREPLY=($(compgen -W 'WebSite Organization Article' -- "$cur"))
            return
            ;;
        --twitter-card)
            COMPREPLY=($(compgen -W 'summary summary_large_image' -- "$cur"))
            return
            ;;
        --use)
            local tags="all basic social title description keywords author copyright owner distribution"
            tags+=" rating revisit-after robots cache-control charset content-language"
            tags+=" head viewport canonical alternate theme-color icon lang structured-data"
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
    # Pages, and the folders that lead to them (apply also takes a folder).
    case $command in
        colorize | import | check | apply) _filedir '@(htm|html|xhtml|xht)' ;;
    esac
}
complete -F _brindle_cli brindle-cli
