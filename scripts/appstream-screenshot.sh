#!/usr/bin/env bash
# Makes the screenshot of the AppStream metadata: the built application on a private X
# display, with a private home and a few images passed on its command line, its window saved
# as packaging/screenshots/main-window.png (or OUTPUT.png).
#   scripts/appstream-screenshot.sh [OUTPUT.png]
# Run it after a build when the window's look changes, and commit the picture; the metadata
# points at its published copy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OMBRIX_BUILD_DIR:-$root/build}
out=${1:-$root/packaging/screenshots/main-window.png}
source "$root/scripts/x11-helpers.sh"

work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Images as a user would have them: photos, a scan, a logo.
images=$work/Pictures
mkdir -p "$images"
convert -size 1600x1200 gradient:'#4a90d9'-'#f5d6a0' "$images/Beach at sunset.jpg"
convert -size 1200x1600 plasma:green-yellow -blur 0x2 "$images/Garden.jpg"
convert -size 2480x3508 xc:white -fill black -draw 'rectangle 200,300 2280,360' \
    -monochrome -compress Group4 "$images/Contract page 1.tif"
convert -size 2480x3508 xc:white -fill black -draw 'rectangle 200,300 1800,360' \
    -monochrome -compress Group4 "$images/Contract page 2.tif"
convert -size 512x512 xc:none -fill '#f08624' -draw 'circle 256,256 256,40' "$images/Logo.png"
convert -size 800x600 xc:'#dde7f3' "$images/Floor plan.bmp"

start_xvfb "$work"
env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$work" DISPLAY="$DISPLAY" \
    "$build/stage/bin/ombrix-image-to-pdf" "$images"/* >"$work/app.log" 2>&1 &
app_pid=$!
window=$(wait_for_window "Ombrix Image to PDF Converter") || {
    cat "$work/app.log" >&2
    echo "appstream-screenshot: the window did not appear" >&2
    exit 1
}
wait_until_steady "$window"
mkdir -p "$(dirname "$out")"
import -window "$window" -strip "$out"
echo "$out"
