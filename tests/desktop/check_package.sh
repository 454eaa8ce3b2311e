#!/usr/bin/env bash
# The Debian package: cpack builds it, it holds exactly the installed files
# under /usr, its dependencies come from the binaries plus the UI font, it
# has no maintainer scripts, and lintian finds no error and no warning.
#   check_package.sh BUILD_DIR LIST CHANGELOG VERSION
set -euo pipefail
build=$1 list=$2 changelog=$3 version=$4
fail() { echo "check_package: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ "$(dpkg-parsechangelog -l "$changelog" -S Version)" = "$version" ] ||
    fail "$changelog does not begin with version $version"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$work/brindle_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | LC_ALL=C sort)
if [ "$files" != "$(LC_ALL=C sort "$list")" ]; then
    diff <(LC_ALL=C sort "$list") <(echo "$files") >&2 || true
    fail "package contents differ from $list (< expected, > packaged)"
fi
depends=$(dpkg-deb --field "$deb" Depends)
for dep in fonts-wine libqt6widgets6; do
    grep -q "\\b$dep\\b" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | LC_ALL=C sort | paste -sd' ')
[ "$control" = "control md5sums" ] || fail "control files: $control"

lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian"; }
echo "package $(basename "$deb") clean; $(wc -l <<<"$files") files"
