#!/usr/bin/env bash
# The Debian package: cpack builds it, it holds exactly the installed files
# under /usr, its dependencies come from the binaries plus the fonts, it
# recommends what a Wayland session and the homepage button need, it has no
# maintainer scripts, its copyright file is machine-readable, and lintian
# finds no error, no warning and no missing hardening.
#   check_package.sh BUILD_DIR LIST CHANGELOG VERSION APP_ID
set -euo pipefail
build=$1 list=$2 changelog=$3 version=$4 app_id=$5
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
expected=$(sed "s/org\.example\.brindle/$app_id/" "$list" | LC_ALL=C sort)
if [ "$files" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$files") >&2 || true
    fail "package contents differ from $list (< expected, > packaged)"
fi
depends=$(dpkg-deb --field "$deb" Depends)
for dep in fonts-wine fonts-liberation2 libqt6widgets6; do
    grep -q "\\b$dep\\b" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
recommends=$(dpkg-deb --field "$deb" Recommends)
for dep in qt6-wayland xdg-utils; do
    grep -q "\\b$dep\\b" <<<"$recommends" || fail "Recommends lacks $dep: $recommends"
done
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | LC_ALL=C sort | paste -sd' ')
[ "$control" = "control md5sums" ] || fail "control files: $control"

# Debian's own parser of the format (python3-debian, so Debian's Python),
# strict: every paragraph well-formed, every licence named in a Files
# paragraph given in full somewhere.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/brindle/copyright >"$work/copyright"
/usr/bin/python3 - "$work/copyright" <<'PY' || fail "the copyright file is not machine-readable"
import sys
from debian import copyright
c = copyright.Copyright(open(sys.argv[1], encoding='utf-8'), strict=True)
texts = {p.license.synopsis for p in c.all_license_paragraphs()}
texts |= {p.license.synopsis for p in c.all_files_paragraphs() if p.license.text}
for p in c.all_files_paragraphs():
    if p.license.synopsis not in texts:
        sys.exit(f"no text for the licence {p.license.synopsis}")
PY

lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian"; }
# lintian counts a program fortified only by the checked variants of the
# functions on its list, which leaves out memcpy and memset; the programs
# call its read, readlink and realpath only with buffers of Qt's, whose size
# no compiler sees. So its hardening-no-fortify-functions stays (an info);
# that the checked functions are in use is seen in the programs themselves.
missing=$(grep 'hardening-' "$work/lintian.log" | grep -v 'hardening-no-fortify-functions' || true)
[ -z "$missing" ] || fail "lintian: hardening"$'\n'"$missing"
dpkg-deb -x "$deb" "$work/root"
for program in brindle brindle-cli; do
    grep -q ' UND __mem[a-z]*_chk@' <<<"$(readelf --dyn-syms -W "$work/root/usr/bin/$program")" ||
        fail "$program calls no checked C library function (_FORTIFY_SOURCE)"
    grep -q 'BIND_NOW' <<<"$(readelf -d "$work/root/usr/bin/$program")" || fail "$program is not bound at load"
done
echo "package $(basename "$deb") clean; $(wc -l <<<"$files") files"
