#!/usr/bin/env bash
# Runs a test program of the windows on a virtual X display with a window
# manager (openbox), where frames, focus and stacking are real.
# Usage: xvfb_windows.sh TEST_PROGRAM [ARGS...]
set -euo pipefail

for tool in Xvfb openbox xdotool xprop; do
    command -v "$tool" >/dev/null || { echo "xvfb_windows: $tool is missing (scripts/setup.sh --tests)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tries=$1; shift
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
# As in xvfb_windowplacement.sh: the X keyboard library reads keymap names
# with strndup() past their ends, which strict string checks report.
[ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}

exec 3> >(cat >"$work/display")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
wait_for 100 test -s "$work/display" || { echo "xvfb_windows: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "xvfb_windows: openbox did not start" >&2; exit 1; }

"$@"
