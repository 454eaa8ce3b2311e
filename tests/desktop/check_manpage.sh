#!/usr/bin/env bash
# A manual page: groff finds nothing to warn about, man renders it, and its
# NAME line is one that whatis understands.   check_manpage.sh PAGE...
set -euo pipefail
fail() { echo "check_manpage: $*" >&2; exit 1; }
for page in "$@"; do
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "$page: groff failed: $warnings"
    [ -z "$warnings" ] || fail "$page: groff warns:"$'\n'"$warnings"
    errors=$(MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null) || fail "$page: man failed: $errors"
    [ -z "$errors" ] || fail "$page: man warns:"$'\n'"$errors"
    text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION EXAMPLES; do
        grep -q "^$section\$" <<<"$text" || fail "$page: no $section section"
    done
    lexgrog "$page" | grep -q ' - ' || fail "$page: whatis cannot read its NAME line"
    echo "clean: $page"
done
