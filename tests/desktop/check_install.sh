#!/usr/bin/env bash
# `cmake --install` puts down exactly the files of install-list.txt, each
# icon at the size its folder names, the programs runnable.
#   check_install.sh BUILD_DIR LIST APP_ID
set -euo pipefail
build=$1 list=$2 app_id=$3
fail() { echo "check_install: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr

cmake --install "$build" --prefix "$prefix" >/dev/null
installed=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
expected=$(sed "s/org\.example\.brindle/$app_id/" "$list" | LC_ALL=C sort)
if [ "$installed" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$installed") >&2 || true
    fail "installed files differ from $list (< expected, > installed)"
fi
for icon in "$prefix"/share/icons/hicolor/*x*/apps/*.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")
    actual=$(file -b "$icon" | sed -n 's/^PNG image data, \([0-9]*\) x \([0-9]*\),.*/\1x\2/p')
    [ "$actual" = "$size" ] || fail "$icon is $actual"
done
"$prefix/bin/brindle" --version >/dev/null || fail "installed brindle does not run"
"$prefix/bin/brindle-cli" --version >/dev/null || fail "installed brindle-cli does not run"
gzip -t "$prefix"/share/man/man1/*.gz "$prefix"/share/doc/brindle/changelog.gz
# The metainfo, the desktop entry and the icon as one installed component.
report=$(appstreamcli validate-tree --no-net --pedantic "$work" 2>&1) || fail "validate-tree: $report"
if grep -qE '^[[:space:]]*[EWIP]: ' <<<"$report"; then
    fail "validate-tree: $report"
fi
echo "installed $(wc -l <<<"$installed") files as listed"
