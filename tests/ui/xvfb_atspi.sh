#!/usr/bin/env bash
# What a screen reader receives: the real program on a virtual X display with
# a window manager and the accessibility bus, read through AT-SPI.
# Usage: xvfb_atspi.sh PATH_TO_BRINDLE
set -euo pipefail

brindle=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
for tool in Xvfb openbox xdotool xprop dbus-daemon; do
    command -v "$tool" >/dev/null || { echo "xvfb_atspi: $tool is missing (scripts/setup.sh --tests)" >&2; exit 1; }
done
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || { echo "xvfb_atspi: at-spi2-core is missing (scripts/setup.sh --tests)" >&2; exit 1; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "xvfb_atspi: python3-pyatspi is missing (scripts/setup.sh --tests)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "xvfb_atspi: $*" >&2
    exit 1
}

wait_for() {
    local tries=$1; shift
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data HOME=$work
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY BRINDLE_TEST_LOG_HANDOVER SESSION_MANAGER
[ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}

exec 3> >(cat >"$work/display")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"

# A session bus of our own, on which the accessibility bus is found.
dbus-daemon --session --fork --nopidfile --print-address=4 --print-pid=5 4>"$work/bus" 5>"$work/bus.pid"
pids+=("$(cat "$work/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
"$launcher" --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=($!)
wait_for 100 sh -c 'xprop -root AT_SPI_BUS | grep -q unix' || fail "the accessibility bus did not start"
# Qt talks to the accessibility bus only when it is told someone listens.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1

/usr/bin/python3 "$here/atspi_check.py" "$brindle" "$work"
