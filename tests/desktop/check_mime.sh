#!/usr/bin/env bash
# The profile file type: the shared-mime-info package compiles, and a profile
# written by brindle-cli is taken for application/x-brindle-profile+xml by
# GLib and by xdg-mime, which a file manager and a desktop use.
#   check_mime.sh MIME_PACKAGE BRINDLE_CLI
set -euo pipefail
package=$1 cli=$2
type=application/x-brindle-profile+xml
fail() { echo "check_mime: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/data/mime/packages" "$work/files"
cp "$package" "$work/data/mime/packages/"
export XDG_DATA_HOME=$work/data XDG_DATA_DIRS=/usr/share
out=$(update-mime-database "$work/data/mime" 2>&1) || fail "update-mime-database: $out"
[ -z "$out" ] || fail "update-mime-database warns: $out"
grep -q "^$type\$" "$work/data/mime/types" || fail "$type not in the compiled database"
grep -q "^application/xml\$" <(sed -n "s|^$type ||p" "$work/data/mime/subclasses") ||
    fail "$type is not a sub-class of application/xml"

"$cli" tags --title 'Home & garden' --use title --save-profile "$work/files/home.wmp"
cp "$work/files/home.wmp" "$work/files/UPPER.WMP"

for file in home.wmp UPPER.WMP; do
    got=$(gio info -a standard::content-type "$work/files/$file" | sed -n 's/^ *standard::content-type: //p')
    [ "$got" = "$type" ] || fail "gio: $file is '$got'"
    got=$(XDG_CURRENT_DESKTOP=X-Generic xdg-mime query filetype "$work/files/$file")
    [ "$got" = "$type" ] || fail "xdg-mime: $file is '$got'"
done
comment=$(mimetype --brief --describe "$work/files/home.wmp")
[ "$comment" = "Brindle meta tags profile" ] || fail "description is '$comment'"
echo "profiles are $type ($comment)"
