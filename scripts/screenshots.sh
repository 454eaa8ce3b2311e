#!/usr/bin/env bash
# Regenerates the README's screenshots: runs Brindle under Xvfb with a small
# window manager, fills in the home page example with the keyboard and takes a
# picture of each window, then one of the tags viewer on a dark desktop.
#   scripts/screenshots.sh [BRINDLE] [OUTDIR] [DARK_DESKTOP]
# DARK_DESKTOP is the helper program built as tests/tools/dark_desktop;
# SCREENSHOT_DISPLAY picks the X display (default :93).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
brindle=${1:-build/src/app/brindle}
out=${2:-docs}
dark=${3:-build/tests/tools/dark_desktop}
mkdir -p "$out"
for tool in Xvfb openbox xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool missing (apt-get install xvfb openbox xdotool imagemagick)" >&2; exit 2; }
done

work=$(mktemp -d)
export DISPLAY=${SCREENSHOT_DISPLAY:-:93} XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
chmod 700 "$work"
Xvfb "$DISPLAY" -screen 0 1100x760x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "${app:-}" "$wm" "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 0.7
xsetroot -solid '#3a6ea5' 2>/dev/null || true
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.7
"$brindle" >/dev/null 2>&1 &
app=$!
wid=$(timeout 10 xdotool search --sync --name '^Ovalin Brindle$' | head -n 1)
xdotool windowmove --sync "$wid" 40 30
xdotool windowactivate --sync "$wid"
sleep 0.5

shot() { sleep 0.6; import -frame -window "$(xdotool getactivewindow)" "$out/$1.png"; }
key() { xdotool key --clearmodifiers "$@"; sleep 0.25; }

key Tab
xdotool type --delay 20 'Home Page'
key Return
xdotool type --delay 20 'Fish & Chips'
key Return
key alt+e b                        # Select Basic Only
shot main-window

key alt+t s                        # Social Cards...
social=$(timeout 10 xdotool search --sync --name '^Social Cards$' | head -n 1)
xdotool windowactivate --sync "$social" 2>/dev/null || true
sleep 0.3
key alt+u                          # Use the social card tags
key Tab Tab Tab                    # og:title and og:description left empty: the main window's
for value in website https://www.example.org/ https://www.example.org/img/fish-and-chips.jpg \
    'Fish and chips on a plate' 'The Harbour Kitchen' en_GB summary_large_image @harbourkitchen; do
    xdotool type --delay 20 "$value"
    key Return
done
# The card's picture from a local file, while og:image keeps its web address.
convert -size 1200x630 gradient:'#f6d365'-'#e07a3f' -fill '#7a3b12' -gravity center \
    -pointsize 96 -annotate 0 'Fish & Chips' "$work/card.png"
key alt+p                          # Picture for the preview
xdotool type --delay 10 "$work/card.png"
shot social-cards
key alt+u                          # unticked again: the pictures below show the thirteen tags
key Escape
sleep 0.3
xdotool windowactivate --sync "$wid"

key alt+t h                        # Create for HTML Documents
viewer=$(timeout 10 xdotool search --sync --name '^Meta Tags For HTML Documents$' | head -n 1)
xdotool windowactivate --sync "$viewer" 2>/dev/null || true
shot tags-viewer

xdotool mousemove --window "$viewer" 282 21 click 1   # Create HTML Page
builder=$(timeout 10 xdotool search --sync --name '^Create HTML$' | head -n 1)
shot page-builder
xdotool mousemove --window "$builder" 101 117 click 1  # Cancel
sleep 0.4
xdotool windowactivate --sync "$viewer" 2>/dev/null || true

# The text area's popup menu ends with "Search Preview" and "Check": two
# windows that stay open when the viewer closes.
popup_item() { # N: the Nth item from the end
    xdotool mousemove --window "$viewer" 330 200 click 3
    sleep 0.5
    for ((i = 0; i < $1; i++)); do key Up; done
    key Return
}
popup_item 2
preview=$(timeout 10 xdotool search --sync --name '^Search Preview$' | head -n 1)
popup_item 1
checkwin=$(timeout 10 xdotool search --sync --name '^Check$' | head -n 1)
xdotool windowactivate --sync "$viewer" 2>/dev/null || true
xdotool mousemove --window "$viewer" 575 21 click 1    # Close
sleep 0.5
for name in search-preview:$preview check:$checkwin; do
    xdotool windowactivate --sync "${name#*:}" 2>/dev/null || true
    shot "${name%%:*}"
    key alt+F4
done

key alt+i a                        # About
shot about-box
key Return
sleep 0.4

# The hint button beside the Description input.
xdotool windowactivate --sync "$wid"
xdotool mousemove --window "$wid" 653 136 click 1   # 73 in the field panel, + 47 + 16 for the menu bar
sleep 0.8
import -window root -crop 702x560+30+6 "$out/hint-popup.png"

# The Head window, last so that its lines stay out of the pictures above.
xdotool key --clearmodifiers Escape
sleep 0.3
xdotool windowactivate --sync "$wid"
key alt+t e                        # Head...
headwin=$(timeout 10 xdotool search --sync --name '^Head$' | head -n 1)
xdotool windowactivate --sync "$headwin" 2>/dev/null || true
sleep 0.3
# Each field's tick comes before its input; the viewport left empty takes
# the usual text.
key space Tab Tab space Tab
xdotool type --delay 20 'https://www.example.org/'
key Tab space Tab
xdotool type --delay 20 'en=https://www.example.org/'
key Return
xdotool type --delay 20 'de=https://www.example.org/de/'
key Tab space Tab
xdotool type --delay 20 '#1d5c7a'
key Tab space Tab
xdotool type --delay 20 '/favicon.png'
key Tab space Tab
xdotool type --delay 20 'en-GB'
key Tab space Tab
xdotool type --delay 20 'WebSite'
shot head-window
key Escape

# The tags viewer on a dark desktop: Fusion with a dark palette.
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
"$dark" >/dev/null 2>&1 &
app=$!
viewer=$(timeout 10 xdotool search --sync --name '^Meta Tags For HTML Documents$' | head -n 1)
xdotool windowmove --sync "$viewer" 60 60
xdotool windowactivate --sync "$viewer" 2>/dev/null || true
shot tags-viewer-dark
echo "screenshots written to $out"
