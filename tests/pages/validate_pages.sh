#!/usr/bin/env bash
# Checks the blank pages against the published DTDs, offline: the XHTML 1.x
# pages with xmllint through the XML catalog, the XHTML Mobile page for
# well-formedness (its DTD is not in the catalog), the HTML 4.01 pages with
# OpenSP through the SGML catalog of the same DTD package.
#   validate_pages.sh BRINDLE_CLI
set -u
cli=${1:?usage: validate_pages.sh BRINDLE_CLI}
dtd_dir=/usr/share/xml/w3c-sgml-lib/schema/dtd
export XML_CATALOG_FILES=/etc/xml/catalog
export SGML_CATALOG_FILES=$dtd_dir/sgml.soc

for tool in xmllint onsgmls; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/setup.sh --tests installs it)"; exit 1; }
done
[ -f "$SGML_CATALOG_FILES" ] || { echo "FAIL: $SGML_CATALOG_FILES missing (package w3c-sgml-lib)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The worked example's tags, without a raw "&" (an HTML page would need "&amp;").
page() { # DOCTYPE FILE [extra tag options]
    local doctype=$1 file=$2
    shift 2
    "$cli" page --doctype "$doctype" --title "Home Page" --description "Fish and Chips" \
        --use title,description,keywords,robots,charset "$@" -o "$file" || fail "$doctype: brindle-cli failed"
}

xml_valid() { xmllint --valid --nonet --noout "$1" 2>"$work/err"; }
sgml_errors() { onsgmls -s "$1" 2>&1 >/dev/null | sed 's/^onsgmls:[^:]*:[0-9]*:[0-9]*://'; }

for doctype in "XHTML 1.0 Transitional" "XHTML 1.0 Strict" "XHTML 1.1"; do
    f="$work/${doctype// /_}.html"
    page "$doctype" "$f"
    xml_valid "$f" || fail "$doctype: not valid: $(cat "$work/err")"
    # Without a title among the tags the placeholder must keep the page valid.
    page "$doctype" "$f" --use description,robots
    xml_valid "$f" || fail "$doctype, placeholder title: not valid: $(cat "$work/err")"
done

f="$work/mobile.html"
page "XHTML Mobile 1.0" "$f"
xmllint --nonet --noout "$f" 2>"$work/err" || fail "XHTML Mobile 1.0: not well-formed: $(cat "$work/err")"

f="$work/loose.html"
page "HTML 4.01 Transitional" "$f"
errors=$(sgml_errors "$f")
[ -z "$errors" ] || fail "HTML 4.01 Transitional: $errors"

# A blank body holds no block element, which the strict DTD requires: that
# one error is expected, any other is a fault.
f="$work/strict.html"
page "HTML 4.01 Strict" "$f"
errors=$(sgml_errors "$f")
expected='E: end tag for "BODY" which is not finished'
[ "$errors" = "$expected" ] || fail "HTML 4.01 Strict: expected only '$expected', got: $errors"

# The validators must catch a fault, or the checks above prove nothing.
page "XHTML 1.0 Strict" "$work/bad.html"
sed -i 's|<head>|<head><bogus/>|' "$work/bad.html"
xml_valid "$work/bad.html" && fail "xmllint accepted an unknown element"
page "HTML 4.01 Transitional" "$work/bad.html"
sed -i 's|<head>|<head><bogus>|' "$work/bad.html"
[ -n "$(sgml_errors "$work/bad.html")" ] || fail "onsgmls accepted an unknown element"

[ "$failures" = 0 ] || exit 1
echo "all pages valid"
