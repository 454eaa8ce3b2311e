#!/usr/bin/env bash
# On a virtual X display with a window manager: the main window, moved by
# hand and closed, opens at the same place and with the same size the next
# time. Usage: xvfb_placement.sh PATH_TO_BRINDLE
set -euo pipefail

brindle=$1
for tool in Xvfb openbox xdotool xprop; do
    command -v "$tool" >/dev/null || { echo "xvfb_placement: $tool is missing (scripts/setup.sh --tests)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    [ ! -s "$work/brindle.log" ] || { echo "--- brindle's output:" >&2; tail -n 40 "$work/brindle.log" >&2; }
    echo "xvfb_placement: $*" >&2
    exit 1
}

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
unset WAYLAND_DISPLAY BRINDLE_TEST_LOG_HANDOVER
# In the sanitizer build: the X keyboard library reads keymap names with
# strndup() past their ends, which strict string checks report although the
# length bounds the read.
[ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}

# Xvfb picks a free display itself and writes its number to the pipe.
exec 3> >(cat >"$work/display")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"

start_brindle() {
    "$brindle" >>"$work/brindle.log" 2>&1 &
    brindle_pid=$!
    pids+=("$brindle_pid")
    wait_for 100 xdotool search --onlyvisible --name '^Ovalin Brindle$' || fail "no main window"
    wid=$(xdotool search --onlyvisible --name '^Ovalin Brindle$' | head -n1)
    # Give the restore time to follow the window manager's frame.
    sleep 1.5
}

geometry() {
    xdotool getwindowgeometry --shell "$wid" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' '
}

# Closes the window the way a user does: Alt+F4, which openbox turns into a
# close request to the program. Repeated in case a key press went astray.
close_brindle() {
    local tries=100
    while kill -0 "$brindle_pid" 2>/dev/null; do
        if [ $((tries % 20)) = 0 ]; then
            xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
            xdotool key alt+F4 >/dev/null 2>&1 || true
        fi
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "brindle did not close"
        sleep 0.1
    done
    wait "$brindle_pid" || fail "brindle ended with status $?"
}

start_brindle
builtin=$(geometry)
echo "built-in place: $builtin"
xdotool windowmove --sync "$wid" 345 267 || true
sleep 0.5
moved=$(geometry)
echo "moved to: $moved"
[ "$moved" != "$builtin" ] || fail "the window manager did not move the window"
close_brindle

conf=$XDG_CONFIG_HOME/Ovalin/Brindle.conf
[ -f "$conf" ] || fail "nothing stored at exit"
cat "$conf"

start_brindle
reopened=$(geometry)
echo "reopened at: $reopened"
close_brindle
[ "$reopened" = "$moved" ] || fail "reopened at $reopened instead of $moved"
echo "xvfb_placement: passed"
