#!/usr/bin/env bash
# The bash completion of brindle-cli, driven as bash drives it.
#   check_completion.sh BRINDLE_CLI COMPLETION_FILE
set -uo pipefail
cli=$1 completion=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/dir"
ln -s "$(realpath "$cli")" "$work/bin/brindle-cli"
touch "$work/dir/home.wmp" "$work/dir/notes.txt" "$work/dir/page.html"
mkdir "$work/dir/sub"

# Prints the completions of a command line, one per line, sorted.
complete_line() {
    (
        cd "$work/dir"
        PATH=$work/bin:$PATH
        source /usr/share/bash-completion/bash_completion
        source "$completion"
        COMP_LINE=$1
        COMP_POINT=${#COMP_LINE}
        # Words split at blanks that no backslash escapes, as bash splits them.
        local line=${1//\\ /$'\x01'}
        read -r -a COMP_WORDS <<<"$line"
        COMP_WORDS=("${COMP_WORDS[@]//$'\x01'/\\ }")
        [ "${1: -1}" = " " ] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _brindle_cli brindle-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
    )
}

failures=0
expect() {
    local got
    got=$(complete_line "$1" | paste -sd' ')
    if [ "$got" != "$2" ]; then
        echo "completing '$1': expected '$2', got '$got'" >&2
        failures=$((failures + 1))
    fi
}

commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' | LC_ALL=C sort | paste -sd' ')
[ -n "$commands" ] || { echo "no commands in brindle-cli --help" >&2; exit 1; }
expect "brindle-cli " "$commands"
expect "brindle-cli --v" "--version"
expect "brindle-cli tags --pro" "--profile"
expect "brindle-cli tags --save" "--save-profile"
expect "brindle-cli page --o" "--og-description --og-image --og-image-alt --og-locale --og-site-name --og-title --og-type --og-url --output --owner"
expect "brindle-cli tags --use title,so" "title,social"
expect "brindle-cli tags --twitter-card s" "summary summary_large_image"
expect "brindle-cli page --og-type vi" "video.movie"
expect "brindle-cli page --structured-data Or" "Organization"
expect "brindle-cli tags --use title,he" "title,head"
expect "brindle-cli tags --use theme" "theme-color"
expect "brindle-cli tags --profile " "home.wmp sub"
expect "brindle-cli page -o " "home.wmp notes.txt page.html sub"
expect "brindle-cli colorize " "page.html sub"
expect "brindle-cli page --doctype XHTML\\ 1.0\\ S" "XHTML\\ 1.0\\ Strict"
expect "brindle-cli page --doctype H" "HTML\\ 4.01\\ Strict HTML\\ 4.01\\ Transitional HTML\\ 5"
expect "brindle-cli tags --charset koi" "koi8-r koi8-ru"
expect "brindle-cli check --format " "json text"
expect "brindle-cli check --format json " "page.html sub"
expect "brindle-cli check " "page.html sub"
expect "brindle-cli import " "page.html sub"
expect "brindle-cli import --save-profile " "home.wmp sub"
expect "brindle-cli apply --profile home.wmp " "page.html sub"
expect "brindle-cli apply --backup " ""
expect "brindle-cli tags --use title,desc" "title,description"
expect "brindle-cli tags --title " ""
expect "brindle-cli colorize --" "--help"
[ "$failures" = 0 ] || exit 1
echo "completion answers as expected"
