#!/usr/bin/env bash
# Runs a command on a virtual X display of its own, without a window manager.
# Usage: xvfb_run.sh COMMAND [ARG]...
set -euo pipefail
command -v Xvfb >/dev/null || { echo "xvfb_run: Xvfb is missing (scripts/setup.sh --tests)" >&2; exit 1; }
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT
# Xvfb picks a free display itself and writes its number to the pipe.
exec 3> >(cat >"$work/display")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; echo "xvfb_run: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")
unset WAYLAND_DISPLAY
# In the sanitizer build: the X keyboard library reads keymap names with
# strndup() past their ends, which strict string checks report although the
# length bounds the read.
[ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}
"$@"
