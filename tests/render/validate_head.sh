#!/usr/bin/env bash
# Checks pages with every head tag, offline: the HTML 5 page of each
# structured data type through the Nu Html Checker (no error allowed), the
# XHTML 1.0 and 1.1 pages against their DTDs with xmllint, and the JSON-LD
# of each type through an independent structured-data validator with the
# search engine's rules.
#   validate_head.sh BRINDLE_CLI
# BRINDLE_VNU_JAR and BRINDLE_SDTT override where scripts/setup.sh --tests put them.
set -u
cli=${1:?usage: validate_head.sh BRINDLE_CLI}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/brindle
vnu_jar=${BRINDLE_VNU_JAR:-$cache/vnu/node_modules/vnu-jar/build/dist/vnu.jar}
sdtt=${BRINDLE_SDTT:-$cache/structured-data/node_modules/.bin/sdtt}
export XML_CATALOG_FILES=/etc/xml/catalog

for tool in xmllint java node; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/setup.sh --tests installs it)"; exit 1; }
done
[ -f "$vnu_jar" ] || { echo "FAIL: $vnu_jar missing (scripts/setup.sh --tests installs it)"; exit 1; }
[ -x "$sdtt" ] || { echo "FAIL: $sdtt missing (scripts/setup.sh --tests installs it)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Every head field, addresses with the "&" that needs escaping. The title
# goes into the JSON-LD too; the classic tags write it as typed, so only the
# HTML pages get markup characters in it.
page() { # DOCTYPE TYPE FILE [more options]
    local doctype=$1 type=$2 file=$3 title="Ten fish & <chips>"
    shift 3
    [[ $doctype == XHTML* ]] && title="Ten fish"
    "$cli" page --doctype "$doctype" --title "$title" --description "Fish and chips" \
        --author "Ann Example" --charset utf-8 --og-site-name "Fish Weekly" \
        --og-image "https://example.org/fish.jpg" --viewport "" \
        --canonical "https://example.org/en/fish?a=1&b=2" \
        --alternate "de=https://example.org/de/fish" --alternate "en=https://example.org/en/fish?a=1&b=2" \
        --alternate "x-default=https://example.org/fish" --theme-color "#336699" --icon "/favicon.ico" \
        --lang en --structured-data "$type" --published 2024-05-01 --modified "2024-05-02T08:00:00+02:00" \
        --logo "https://example.org/logo.png" --use title,description,author,charset,head "$@" -o "$file" ||
        fail "$doctype, $type: brindle-cli failed"
}

types="WebSite Organization Article"
nu=$work/nu
mkdir -p "$nu"
for type in $types; do
    page "HTML 5" "$type" "$nu/$type.html"
done
# The proxies point at a closed port: a checker reaching for the network fails.
java -Dhttp.proxyHost=127.0.0.1 -Dhttp.proxyPort=9 -Dhttps.proxyHost=127.0.0.1 -Dhttps.proxyPort=9 \
    -jar "$vnu_jar" --format gnu --no-langdetect "$nu"/*.html 2>"$work/nu.out"
errors=$(grep ': error: ' "$work/nu.out")
[ -z "$errors" ] || fail "Nu: $errors"

for doctype in "XHTML 1.0 Strict" "XHTML 1.0 Transitional" "XHTML 1.1"; do
    f="$work/${doctype// /_}.html"
    page "$doctype" Article "$f"
    xmllint --valid --nonet --noout "$f" 2>"$work/err" || fail "$doctype: not valid: $(cat "$work/err")"
done

for type in $types; do
    "$sdtt" --file "$nu/$type.html" --presets Google --schemas "$type" >"$work/sdtt.out" 2>&1 ||
        fail "structured data, $type: $(grep -E '✕|Error' "$work/sdtt.out")"
done

# The checkers must catch a fault, or the checks above prove nothing.
sed 's|"publisher":|"published-by":|' "$nu/Article.html" >"$work/bad.html"
"$sdtt" --file "$work/bad.html" --presets Google --schemas Article >/dev/null 2>&1 &&
    fail "the structured-data validator accepted an article without a publisher"
sed 's|<link rel="icon"|<link rel="icon" bogus="1"|' "$nu/Article.html" >"$nu/bad.html"
java -Dhttp.proxyHost=127.0.0.1 -Dhttp.proxyPort=9 -Dhttps.proxyHost=127.0.0.1 -Dhttps.proxyPort=9 \
    -jar "$vnu_jar" --format gnu --no-langdetect "$nu/bad.html" 2>"$work/nu.out"
grep -q ': error: ' "$work/nu.out" || fail "the Nu checker accepted an unknown attribute"

[ "$failures" = 0 ] || exit 1
echo "all head pages valid"
