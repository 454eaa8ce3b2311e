#!/usr/bin/env bash
# The desktop entry: desktop-file-validate finds nothing at all to say.
# Validators older than version 1.5 of the desktop entry format (Debian 12's
# desktop-file-utils 0.26) take its SingleMainWindow key for an unknown one;
# with such a validator the key is checked here and left out of its input.
#   check_desktop.sh DESKTOP_FILE
set -uo pipefail
entry=$1
fail() { echo "check_desktop: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

grep -qx 'SingleMainWindow=true' "$entry" || fail "$entry: no SingleMainWindow=true"
grep -qx 'StartupNotify=true' "$entry" || fail "$entry: no StartupNotify=true"
printf '[Desktop Entry]\nType=Application\nName=Probe\nExec=probe\nSingleMainWindow=true\n' >"$work/probe.desktop"
checked=$work/$(basename "$entry")
if grep -q SingleMainWindow <<<"$(desktop-file-validate "$work/probe.desktop" 2>&1)"; then
    grep -vx 'SingleMainWindow=true' "$entry" >"$checked"
else
    cp "$entry" "$checked"
fi
out=$(desktop-file-validate "$checked" 2>&1)
status=$?
[ "$status" = 0 ] && [ -z "$out" ] || fail "$entry: exit status $status"$'\n'"$out"
echo "clean: $entry"
