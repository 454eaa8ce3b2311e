#!/usr/bin/env bash
# Runs the Wayland placement test inside weston's headless back end, in a
# runtime folder of its own so that no session of the user is touched.
# Usage: wayland_windowplacement.sh PATH_TO_TST_WAYLANDPLACEMENT
set -euo pipefail

test_program=$1
for tool in weston; do
    command -v "$tool" >/dev/null || { echo "wayland_windowplacement: $tool is missing (scripts/setup.sh --tests)" >&2; exit 1; }
done
plugin_dir=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
[ -e "$plugin_dir/platforms/libqwayland-generic.so" ] ||
    { echo "wayland_windowplacement: Qt's Wayland platform is missing (qt6-wayland)" >&2; exit 1; }

runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=
cleanup() {
    [ -z "$weston_pid" ] || { kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; }
    rm -rf "$runtime"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$runtime
unset DISPLAY
weston --backend=headless-backend.so --socket=brindle-test --width=1280 --height=1024 --idle-time=0 \
    --no-config >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [ -S "$runtime/brindle-test" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
done
[ -S "$runtime/brindle-test" ] || { cat "$runtime/weston.log" >&2; echo "wayland_windowplacement: weston did not start" >&2; exit 1; }

WAYLAND_DISPLAY=brindle-test QT_QPA_PLATFORM=wayland "$test_program"
