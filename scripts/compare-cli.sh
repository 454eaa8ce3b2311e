#!/bin/bash
# Runs two builds of brindle-cli on every fixture of tests/ with every command
# and option, and reports each invocation whose standard output, standard
# error, exit status or written files differ. For changes that must not alter
# what the command-line tool does (moves, renames).
#
#   bash scripts/compare-cli.sh OLD_BRINDLE_CLI NEW_BRINDLE_CLI
#
# Exit status 0 when every invocation agrees, 1 otherwise.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 OLD_BRINDLE_CLI NEW_BRINDLE_CLI" >&2
    exit 2
fi
old=$(realpath "$1")
new=$(realpath "$2")
tests_dir=$(realpath "$(dirname "$0")/../tests")
work=$(mktemp -d /tmp/compare-cli.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The fixtures, by short relative names, so that messages naming a file are
# the same for both programs.
fixtures=$work/fixtures
mkdir -p "$fixtures"
cp -r "$tests_dir/data/pagehead" "$fixtures/pages"
for area in headreader htmlrtf profile rtfreader; do
    cp -r "$tests_dir/fuzz/corpus/$area" "$fixtures/$area"
done
cd "$fixtures"
mapfile -t pages < <(find pages headreader htmlrtf rtfreader -name '*.html' | sort)
mapfile -t profiles < <(find profile -name '*.wmp' | sort)
mapfile -t others < <(find . -type f ! -name '*.html' ! -name '*.wmp' | sed 's|^\./||' | sort)

runs=()
add() { runs+=("$(printf '%q ' "$@")"); }

# The program and its commands' help.
add
add --help
add -h
add --version
add nosuchcommand
add --nosuchoption
for c in tags page colorize import apply check; do
    add "$c" --help
    add "$c" --nosuchoption
done

# Tags.
add tags
add tags --title 'Home & garden' --description 'Tips for small gardens'
add tags --xhtml --title 'Home & garden' --description 'Tips for small gardens'
add tags --title 'Ünïcödé “quotes” <b>' --keywords 'a,b,"c"' --use all
add tags --xhtml --use all
add tags --use basic
add tags --use basic --title T --description D --keywords K
add tags --use title,description,charset
add tags --use nosuchtag
add tags --use ''
add tags --charset koi8-ru --use charset
add tags --charset KOI8-RU --use charset
add tags --charset nosuchcharset --use charset
add tags --robots 'noindex,nofollow' --rating 'adult' --distribution Local --use all
add tags --revisit-after '30 days' --cache-control no-cache --content-language German --use all
add tags --author A --copyright C --owner https://example.org/ --use all
add tags --title T --og-image https://example.org/card.png --twitter-card summary_large_image --use title,social
add tags --og-title OT --og-description OD --og-type article --og-url https://example.org/a \
    --og-image https://example.org/i.png --og-image-alt Alt --og-site-name Site --og-locale en_US \
    --twitter-card summary --twitter-site @s --twitter-creator @c
add tags --xhtml --title T --description D --og-type website --use all,social
add tags --og-url ftp://example.org/
add tags --og-image relative.png
add tags --og-locale english
add tags --title ''
add tags --title T --save-profile -
add tags --title T --description D --og-site-name S --save-profile -
add tags --title T --save-profile out.wmp
add tags --title T --save-profile nosuchdir/out.wmp
for p in "${profiles[@]}"; do
    add tags --profile "$p"
    add tags --profile "$p" --xhtml --use all
    add tags --profile "$p" --title Override --save-profile -
done
add tags --profile nosuchfile.wmp
add tags --profile pages/wasm-notavail.html

# Page.
for d in 'XHTML 1.0 Transitional' 'XHTML 1.0 Strict' 'XHTML 1.1' 'XHTML Mobile 1.0' 'None' \
    'HTML 4.01 Transitional' 'HTML 4.01 Strict' 'HTML 5'; do
    add page --doctype "$d" --title 'Home & garden' --description 'Tips' --use title,description,charset
    add page --doctype "$d" --use all
done
add page --doctype 'html 5' --title T
add page --doctype 'xhtml 1.1' --description D
add page --doctype 'HTML 6' --title T
add page --title T
add page --doctype 'HTML 5' --title T -o page.html
add page --doctype 'HTML 5' --title T -o -
add page --doctype 'HTML 5' --title T -o nosuchdir/page.html
add page --doctype 'HTML 5' --title T --og-image https://example.org/i.png --use all,social

# Colorize.
for f in "${pages[@]}" "${profiles[@]}" "${others[@]}"; do
    add colorize "$f"
done
add colorize
add colorize -
add colorize nosuchfile.html
add colorize a.html b.html

# Import.
for f in "${pages[@]}"; do
    add import "$f"
    add import "$f" --save-profile -
done
add import pages/wasm-notavail.html --save-profile imported.wmp
add import pages/PSF-LICENSE.txt
add import nosuchfile.html
add import

# Apply, on a copy of the fixtures made afresh for each run.
for p in profile/example.wmp profile/social.wmp profile/twenty.wmp profile/malformed.wmp; do
    add apply --profile "$p" --dry-run "${pages[@]}"
done
add apply --profile profile/example.wmp --dry-run --recursive .
add apply --profile profile/example.wmp --dry-run headreader
add apply --profile profile/social.wmp --recursive headreader htmlrtf
add apply --profile profile/example.wmp --backup .orig pages headreader/basic.html
add apply --profile profile/example.wmp headreader/basic.html headreader/basic.html
add apply --profile nosuchfile.wmp pages
add apply --profile profile/example.wmp nosuchpage.html
add apply --profile profile/example.wmp
add apply pages

# Check.
for f in "${pages[@]}"; do
    add check "$f"
    add check --format json "$f"
done
add check "${pages[@]}"
add check --format json "${pages[@]}"
add check --rules
add check --rules --format json
add check --format yaml pages/wasm-notavail.html
add check nosuchfile.html
add check

# Standard input for the runs that read it.
stdin_file=$fixtures/htmlrtf/meta-line.html

run_one() { # BINARY DIR INVOCATION
    local bin=$1 dir=$2 invocation=$3
    rm -rf "$dir" && cp -r "$fixtures" "$dir"
    (cd "$dir" && eval "exec -a brindle-cli \"\$bin\" $invocation" <"$stdin_file" >"$dir.out" 2>"$dir.err")
    echo $? >"$dir.status"
}

failed=0
for invocation in "${runs[@]}"; do
    run_one "$old" "$work/old" "$invocation"
    run_one "$new" "$work/new" "$invocation"
    for part in out err status; do
        if ! cmp -s "$work/old.$part" "$work/new.$part"; then
            echo "DIFFERS ($part): brindle-cli $invocation"
            failed=1
        fi
    done
    if ! diff -r "$work/old" "$work/new" >/dev/null; then
        echo "DIFFERS (files): brindle-cli $invocation"
        failed=1
    fi
done
echo "${#runs[@]} invocations compared; $([ $failed = 0 ] && echo 'all agree' || echo 'some differ')"
exit $failed
