#!/usr/bin/env bash
# The AppStream metainfo: valid without a single hint, a release entry for
# this version, and every screenshot one of the pictures in docs/.
#   check_metainfo.sh METAINFO VERSION DOCS_DIR
set -euo pipefail
metainfo=$1 version=$2 docs=$3
fail() { echo "check_metainfo: $*" >&2; exit 1; }

report=$(appstreamcli validate --no-net --pedantic --explain "$metainfo" 2>&1) ||
    fail "validation failed:"$'\n'"$report"
if grep -qE '^[[:space:]]*[EWIP]: ' <<<"$report"; then
    fail "issues reported:"$'\n'"$report"
fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release entry for version $version"
shots=$(sed -n 's|.*<image>.*/\([^/<]*\)</image>.*|\1|p' "$metainfo")
[ -n "$shots" ] || fail "no screenshots"
for shot in $shots; do
    [ -f "$docs/$shot" ] || fail "screenshot $shot is not in $docs"
done
grep -q '<binary>brindle-cli</binary>' "$metainfo" || fail "brindle-cli not provided"
for type in homepage bugtracker help vcs-browser; do
    grep -q "<url type=\"$type\">https\?://" "$metainfo" || fail "no <url type=\"$type\">"
done
echo "metainfo clean: $(wc -w <<<"$shots") screenshots, release $version"
