#!/usr/bin/env bash
# On a virtual X display with a window manager, then without one: where the
# main window opens and what it stores, where the windows shown over it land,
# and what becomes of a damaged settings file.
# Usage: xvfb_windowplacement.sh PATH_TO_BRINDLE
set -euo pipefail

brindle=$1
for tool in Xvfb openbox xdotool xprop xwininfo; do
    command -v "$tool" >/dev/null || { echo "xvfb_windowplacement: $tool is missing (scripts/setup.sh --tests)" >&2; exit 1; }
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
    [ ! -f "$conf" ] || { echo "--- the settings file:" >&2; cat -A "$conf" >&2; }
    echo "xvfb_windowplacement: $*" >&2
    exit 1
}

# Waits up to about $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tries=$(($1 * 2)); shift
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.05
    done
}

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY BRINDLE_TEST_LOG_HANDOVER
conf=$XDG_CONFIG_HOME/Ovalin/Brindle.conf
key='Ovalin\Freeware\Brindle%201.0\Main%20Window'
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
openbox_pid=$!
pids+=("$openbox_pid")
wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"
window_manager=1

# Starts Brindle and waits until its main window has settled: framed when
# there is a window manager, where the command given wants it (the restore
# follows the frame, or without a window manager the wait for one), and in
# the same place for a while. The checks after it say what is wrong when it
# never settles.
start_brindle() {
    "$brindle" >>"$work/brindle.log" 2>&1 &
    brindle_pid=$!
    pids+=("$brindle_pid")
    wait_for 100 xdotool search --onlyvisible --name '^Ovalin Brindle$' || fail "no main window"
    wid=$(xdotool search --onlyvisible --name '^Ovalin Brindle$' | head -n1)
    settle 50 "$@" || true
}

# Whether the main window's outer rectangle is "left top width height"
# (within settle, the one it has just read).
at() {
    [ "${now:-$(frame_rect "$wid")}" = "$1" ]
}

# Waits up to about $1 tenths of a second until the main window is framed (with a
# window manager), the command after it succeeds (when one is given), and its
# outer rectangle has stayed the same for three looks in a row.
settle() {
    local tries=$(($1 * 2)) last= now same=0 framed=$((1 - window_manager))
    shift
    while [ "$tries" -gt 0 ]; do
        now=$(frame_rect "$wid" 2>/dev/null) || now=
        [ "$framed" = 1 ] || ! xprop -id "$wid" _NET_FRAME_EXTENTS | grep -q = || framed=1
        if [ -n "$now" ] && [ "$framed" = 1 ] && { [ $# = 0 ] || "$@" >/dev/null 2>&1; }; then
            if [ "$now" = "$last" ]; then
                same=$((same + 1))
                [ "$same" -lt 2 ] || return 0
            else
                same=0
                last=$now
            fi
        else
            same=0
            last=
        fi
        tries=$((tries - 1))
        sleep 0.05
    done
    return 1
}

geometry() {
    xdotool getwindowgeometry --shell "$wid" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' '
}

# The outer rectangle of a window, frame included: "left top width height".
# Read with the shell's own means: the waits below ask for it many times.
frame_rect() {
    local line x= y= w= h= l=0 r=0 t=0 b=0 extents
    while IFS= read -r line; do
        case $line in
            *"Absolute upper-left X:"*) x=${line##*:} ;;
            *"Absolute upper-left Y:"*) y=${line##*:} ;;
            *"Width:"*) w=${line##*:} ;;
            *"Height:"*) h=${line##*:} ;;
        esac
    done < <(xwininfo -id "$1" 2>/dev/null)
    [ -n "$x" ] && [ -n "$h" ] || return 1
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS)
    if [[ $extents == *=* ]]; then
        extents=${extents#*=}
        read -r l r t b <<<"${extents//,/ }"
    fi
    echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

# The five stored values: "Left Top Width Height State".
stored() {
    local name out=()
    for name in Left Top Width Height State; do
        out+=("$(grep -F "$key\\$name=" "$conf" | sed 's/.*=//')")
    done
    echo "${out[*]}"
}

is_maximized() {
    local state
    state=$(xprop -id "$wid" _NET_WM_STATE)
    [[ $state == *_NET_WM_STATE_MAXIMIZED_VERT* && $state == *_NET_WM_STATE_MAXIMIZED_HORZ* ]]
}

# The general error report and every other message box are titled "Brindle".
message_boxes() {
    xdotool search --onlyvisible --name '^Brindle$' 2>/dev/null | wc -l
}

# Closes the window the way a user does: with a window manager Alt+F4, which
# openbox turns into a close request to the program, else File > Exit.
# Repeated in case a key press went astray. A message box in the way fails.
close_brindle() {
    local tries=100
    while kill -0 "$brindle_pid" 2>/dev/null; do
        if [ $((tries % 20)) = 0 ]; then
            [ "$(message_boxes)" = 0 ] || fail "a message box stands in the way of the exit"
            if [ "$window_manager" = 1 ]; then
                xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
                xdotool key alt+F4 >/dev/null 2>&1 || true
            else
                xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || true
                xdotool key --window "$wid" alt+f >/dev/null 2>&1 || true
                sleep 0.3
                xdotool key x >/dev/null 2>&1 || true
            fi
        fi
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "brindle did not close"
        sleep 0.1
    done
    wait "$brindle_pid" || fail "brindle ended with status $?"
}

# Opens a window over the main one with keys and checks it lands centred on
# the main window's outer rectangle, both counted with their frames.
check_centred() {
    local what=$1 title=$2 main box mx my mw mh bx by bw bh; shift 2
    # Keys go to the main window; without keys the window comes from one
    # already open, which may be modal and keep the main window inactive.
    [ $# = 0 ] || xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
    # A menu's letter must reach the menu, which opens on the key before it.
    for k in "$@"; do xdotool key "$k"; sleep 0.1; done
    wait_for 50 xdotool search --onlyvisible --name "$title" || fail "no $what"
    box=$(xdotool search --onlyvisible --name "$title" | head -n1)
    # Centred once framed: the window manager's frame comes after the mapping.
    wait_for 50 sh -c "xprop -id $box _NET_FRAME_EXTENTS | grep -q =" || true
    local was= now tries=100
    until now=$(frame_rect "$box") && [ "$now" = "$was" ]; do
        was=$now
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || break
        sleep 0.05
    done
    read -r mx my mw mh <<<"$(frame_rect "$wid")"
    read -r bx by bw bh <<<"$(frame_rect "$box")"
    echo "$what at $bx $by ($bw x $bh) over $mx $my ($mw x $mh)"
    [ "$bx $by" = "$((mx + (mw - bw) / 2)) $((my + (mh - bh) / 2))" ] ||
        fail "$what not centred on the main window: $bx $by"
}

echo "== moved by hand, it reopens there; windows over it are centred"
start_brindle
builtin=$(geometry)
echo "built-in place: $builtin"
# The fixed-size window's outer size: its frame's height follows the title
# font of the window manager's theme.
read -r _ _ outer_w outer_h <<<"$(frame_rect "$wid")"
outer="$outer_w $outer_h"
xdotool windowmove --sync "$wid" 345 267 || true
settle 30
moved=$(geometry)
moved_frame=$(frame_rect "$wid")
echo "moved to: $moved"
[ "$moved" != "$builtin" ] || fail "the window manager did not move the window"
close_brindle
[ -f "$conf" ] || fail "nothing stored at exit"
cat "$conf"

start_brindle at "$moved_frame"
reopened=$(geometry)
echo "reopened at: $reopened"
[ "$reopened" = "$moved" ] || fail "reopened at $reopened instead of $moved"
check_centred "about box" '^About$' alt+i a
xdotool key Return
# Every row ticked, then the tags for HTML: the viewer.
check_centred "tags viewer" '^Meta Tags For HTML Documents$' alt+e a alt+t h
xdotool key Tab Tab Tab space
check_centred "page builder" '^Create HTML$'
xdotool key alt+c
wait_for 30 sh -c "! xdotool search --onlyvisible --name '^Create HTML$'" || fail "the page builder stays open"
xdotool key Escape
wait_for 30 sh -c "! xdotool search --onlyvisible --name '^Meta Tags For HTML'" || fail "the viewer stays open"
# Nothing ticked again, as loaded: the exit asks nothing.
xdotool windowactivate --sync "$wid" key alt+e d
close_brindle

echo "== State 2 opens the fixed-size window maximized; restored and moved, it stores the new place"
mkdir -p "$(dirname "$conf")"
printf '[Software]\n%s\\Left=100\n%s\\Top=80\n%s\\Width=%s\n%s\\Height=%s\n%s\\State=2\n' \
    "$key" "$key" "$key" "$outer_w" "$key" "$outer_h" "$key" >"$conf"
start_brindle is_maximized
is_maximized || fail "not maximized: $(xprop -id "$wid" _NET_WM_STATE)"
echo "maximized: $(frame_rect "$wid")"
# A double click on the title bar restores it, as openbox does by default.
read -r mx my mw mh <<<"$(frame_rect "$wid")"
xdotool mousemove $((mx + mw / 2)) $((my + 8)) click --repeat 2 --delay 80 1
wait_for 50 sh -c "! xprop -id $wid _NET_WM_STATE | grep -q MAXIMIZED" || fail "not restored"
settle 30
restored=$(frame_rect "$wid")
echo "restored: $restored"
# openbox leaves the resize handle of the maximized window below the frame
# until the next move, so only the place and the width are compared.
[ "$(cut -d' ' -f1-3 <<<"$restored")" = "100 80 $outer_w" ] || fail "restored to $restored"
[ "$(xwininfo -id "$wid" | sed -n 's/.*Height: *//p')" = 501 ] || fail "restored without its fixed size"
xdotool windowmove --sync "$wid" 345 267 || true
settle 30
moved=$(frame_rect "$wid")
close_brindle
[ "$(stored)" = "$moved 0" ] || fail "stored $(stored) instead of $moved 0"

echo "== A stray line before the section: the place is used, and the exit asks nothing"
printf 'a stray line\n[Software]\n%s\\Left=300\n%s\\Top=200\n%s\\Width=%s\n%s\\Height=%s\n%s\\State=0\n' \
    "$key" "$key" "$key" "$outer_w" "$key" "$outer_h" "$key" >"$conf"
start_brindle at "300 200 $outer"
[ "$(message_boxes)" = 0 ] || fail "a message box at the start"
[ "$(frame_rect "$wid")" = "300 200 $outer" ] || fail "opened at $(frame_rect "$wid")"
close_brindle
[ "$(stored)" = "300 200 $outer 0" ] || fail "stored $(stored)"
! grep -q stray "$conf" || fail "the stray line was kept"

# A file that cannot be read as settings: the error report once, the built-in
# place, and a clean file at exit that the next start reads without a word.
damaged() {
    start_brindle at "0 0 $outer"
    wait_for 30 test "$(message_boxes)" = 1 || fail "no error report"
    xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Brindle$' | head -n1)" key Return
    wait_for 30 test "$(message_boxes)" = 0 || fail "the error report stays"
    # A second report would follow the first at once.
    sleep 0.3
    [ "$(message_boxes)" = 0 ] || fail "the error report came twice"
    [ "$(frame_rect "$wid")" = "0 0 $outer" ] || fail "opened at $(frame_rect "$wid") instead of the built-in place"
    xdotool windowmove --sync "$wid" 222 111 || true
    settle 30
    moved=$(frame_rect "$wid")
    close_brindle
    [ "$(stored)" = "$moved 0" ] || fail "stored $(stored) instead of $moved 0"
    start_brindle at "$moved"
    [ "$(message_boxes)" = 0 ] || fail "the rewritten file is still reported"
    [ "$(frame_rect "$wid")" = "$moved" ] || fail "the rewritten file opened at $(frame_rect "$wid")"
    close_brindle
}

echo "== Garbage before a valid section"
{
    printf '\x01\x7f garbage "with an open quote\n'
    printf '[Software]\n%s\\Left=300\n%s\\Top=200\n%s\\Width=%s\n%s\\Height=%s\n%s\\State=0\n' \
        "$key" "$key" "$key" "$outer_w" "$key" "$outer_h" "$key"
} >"$conf"
damaged

echo "== An unterminated [section line"
printf '[Software\n%s\\Left=300\n%s\\Top=200\n%s\\Width=%s\n%s\\Height=%s\n%s\\State=0\n' \
    "$key" "$key" "$key" "$outer_w" "$key" "$outer_h" "$key" >"$conf"
damaged

echo "== Without a window manager: State 2 stored, the window moved and closed stores the new place"
kill "$openbox_pid"
wait "$openbox_pid" 2>/dev/null || true
window_manager=0
mkdir -p "$(dirname "$conf")"
printf '[Software]\n%s\\Left=100\n%s\\Top=80\n%s\\Width=680\n%s\\Height=501\n%s\\State=2\n' \
    "$key" "$key" "$key" "$key" "$key" >"$conf"
# Placed once the wait for a frame that never comes is over: the program
# waits a second for one, and nothing outside it shows when that ends.
start_brindle at "100 80 680 501"
sleep 1.2
xdotool windowmove --sync "$wid" 345 267 || true
settle 30
moved=$(frame_rect "$wid")
echo "moved to: $moved"
close_brindle
[ "$(stored)" = "$moved 0" ] || fail "stored $(stored) instead of $moved 0"
echo "xvfb_windowplacement: passed"
