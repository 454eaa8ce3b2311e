#!/usr/bin/env bash
# Regenerates the button images and the program icon in resources/images from the
# Tango icon theme (Debian package tango-icon-theme, public domain) and the SVG
# sources in resources/src. Needs tango-icon-theme, librsvg2-bin and imagemagick.
# The build does not run this; the PNG files are committed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

tango=/usr/share/icons/Tango
src=resources/src
out=resources/images
for tool in rsvg-convert convert composite; do
    command -v "$tool" >/dev/null || { echo "make-icons.sh: $tool is missing" >&2; exit 1; }
done
[ -d "$tango" ] || { echo "make-icons.sh: install tango-icon-theme" >&2; exit 1; }
mkdir -p "$out"

# PNGs without time stamps, so that regenerating changes nothing.
png_opts=(-strip -define png:exclude-chunks=date,time,tIME -define png:color-type=6)

# name size tango-file
copy() {
    convert "$tango/$2x$2/$3.png" "${png_opts[@]}" "$out/$1.png"
}

# Renders a scalable Tango icon at an exact size where no hand-drawn size exists.
render() {
    rsvg-convert -w "$2" -h "$2" "$tango/scalable/$3.svg" -o "$out/$1.png.tmp"
    convert "$out/$1.png.tmp" "${png_opts[@]}" "$out/$1.png"
    rm -f "$out/$1.png.tmp"
}

# The hover image: more saturated, and brighter in the mid-tones only, so that white
# areas do not wash out and the outlines keep their contrast.
hover() {
    convert "$out/$1.png" -modulate 100,125 -gamma 1.15 "${png_opts[@]}" "$out/$1-hover.png"
}

# Main tool bar, 32 x 32 and the homepage button 24 x 24.
copy new 32 actions/document-new
copy open 32 actions/document-open
copy save 32 actions/document-save
copy html 32 mimetypes/text-html
rsvg-convert -w 14 -h 14 "$src/xhtml-badge.svg" -o "$out/badge.png.tmp"
composite -geometry +1+17 "$out/badge.png.tmp" "$tango/32x32/mimetypes/text-html.png" "${png_opts[@]}" "$out/xhtml.png"
rm -f "$out/badge.png.tmp"
copy homepage 24 actions/go-home

# Tags viewer: 32 x 32, the close button 24 x 24.
copy copy 32 actions/edit-copy
copy txt 32 mimetypes/text-x-generic
copy html-page 32 apps/internet-web-browser
copy close 24 actions/process-stop

# Hint buttons 20 x 20 and the charset reset button 16 x 16.
render hint 20 apps/help-browser
copy reset 16 actions/edit-undo

for name in new open save html xhtml homepage copy txt html-page close hint reset; do
    hover "$name"
done

# Program icon; every size is also installed in the hicolor icon theme.
for size in 16 32 48 64 128 256; do
    suffix=$([ "$size" = 32 ] && echo "" || echo "-$size")
    rsvg-convert -w "$size" -h "$size" "$src/app.svg" -o "$out/app$suffix.png.tmp"
    convert "$out/app$suffix.png.tmp" "${png_opts[@]}" "$out/app$suffix.png"
    rm -f "$out/app$suffix.png.tmp"
done
