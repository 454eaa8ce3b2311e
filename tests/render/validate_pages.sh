#!/usr/bin/env bash
# Checks the blank pages against the published DTDs, offline: the XHTML 1.x
# pages with xmllint through the XML catalog, the XHTML Mobile page for
# well-formedness (its DTD is not in the catalog), the HTML 4.01 pages with
# OpenSP through the SGML catalog of the same DTD package. Then every page
# goes through the Nu Html Checker, which judges them as today's browsers
# parse them: the HTML 5 page must pass, the others may only be told that
# their document type is an old one.
#   validate_pages.sh BRINDLE_CLI
# BRINDLE_VNU_JAR overrides where scripts/setup.sh --tests put vnu.jar.
set -u
cli=${1:?usage: validate_pages.sh BRINDLE_CLI}
dtd_dir=/usr/share/xml/w3c-sgml-lib/schema/dtd
export XML_CATALOG_FILES=/etc/xml/catalog
export SGML_CATALOG_FILES=$dtd_dir/sgml.soc
vnu_jar=${BRINDLE_VNU_JAR:-${XDG_CACHE_HOME:-$HOME/.cache}/brindle/vnu/node_modules/vnu-jar/build/dist/vnu.jar}

for tool in xmllint onsgmls java; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/setup.sh --tests installs it)"; exit 1; }
done
[ -f "$SGML_CATALOG_FILES" ] || { echo "FAIL: $SGML_CATALOG_FILES missing (package w3c-sgml-lib)"; exit 1; }
[ -f "$vnu_jar" ] || { echo "FAIL: $vnu_jar missing (scripts/setup.sh --tests installs it)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The home page example's tags, without a raw "&" (an HTML page would need "&amp;").
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

# ---- Nu Html Checker ----
# One run over all pages: the Java start costs more than the checking. Every
# proxy points at a closed port, so a checker that reached for the network
# would fail instead of passing quietly.
nu=$work/nu
mkdir -p "$nu"
for doctype in "XHTML 1.0 Transitional" "XHTML 1.0 Strict" "XHTML 1.1" "XHTML Mobile 1.0" "None" \
    "HTML 4.01 Transitional" "HTML 4.01 Strict" "HTML 5"; do
    page "$doctype" "$nu/${doctype// /_}.html"
done
page "HTML 5" "$nu/HTML_5_placeholder.html" --use description,robots
# The home page example's raw ampersand is fine in HTML 5.
page "HTML 5" "$nu/HTML_5_ampersand.html" --description "Fish & Chips"
# Every tag ticked: two of the http-equiv tags are no longer part of HTML 5.
page "HTML 5" "$nu/HTML_5_all_tags.html" --use all --keywords k --author a --copyright c --owner o
page "HTML 5" "$nu/bad.html"
sed -i 's|<head>|<head><bogus>|' "$nu/bad.html"
# Messages per page as "LEVEL: TEXT", positions dropped.
java -Dhttp.proxyHost=127.0.0.1 -Dhttp.proxyPort=9 -Dhttps.proxyHost=127.0.0.1 -Dhttps.proxyPort=9 \
    -jar "$vnu_jar" --format gnu --no-langdetect "$nu"/*.html 2>"$work/nu.out"
nu_errors() { # PAGE: its error messages, one a line
    grep -F "\"file:$nu/$1.html\":" "$work/nu.out" | sed -n 's/^"[^"]*":[^ ]*: error: //p'
}
for page_name in HTML_5 HTML_5_placeholder HTML_5_ampersand; do
    errors=$(nu_errors "$page_name")
    [ -z "$errors" ] || fail "Nu, $page_name: $errors"
done
expect_nu() { # PAGE EXPECTED-ERRORS
    local errors
    errors=$(nu_errors "$1")
    [ "$errors" = "$2" ] || fail "Nu, $1: expected errors '$2', got: $errors"
}
obsolete='Obsolete doctype. Expected “<!DOCTYPE html>”.'
almost='Almost standards mode doctype. Expected “<!DOCTYPE html>”.'
expect_nu XHTML_1.0_Transitional "$almost"
expect_nu XHTML_1.0_Strict "$obsolete"
expect_nu XHTML_1.1 "$obsolete"
expect_nu XHTML_Mobile_1.0 'Legacy doctype. Expected “<!DOCTYPE html>”.'
expect_nu None 'Start tag seen without seeing a doctype first. Expected “<!DOCTYPE html>”.'
expect_nu HTML_4.01_Transitional "$almost"
expect_nu HTML_4.01_Strict "$obsolete"
expect_nu HTML_5_all_tags 'Bad value “cache-control” for attribute “http-equiv” on element “meta”.
Using the “meta” element to specify the document-wide default language is obsolete. Consider specifying the language on the root element instead.'
[ -n "$(nu_errors bad)" ] || fail "the Nu checker accepted an unknown element"

[ "$failures" = 0 ] || exit 1
echo "all pages valid"
