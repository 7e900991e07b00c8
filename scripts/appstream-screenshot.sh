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
# A home that reads as a user's in the output folder's field: /home/alex in a mount
# namespace of the script's own where it can make one (as root), else a temporary folder.
if [ -z "${OMBRIX_SCREENSHOT_HOME:-}" ] && [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
    exec unshare --mount --propagation private env OMBRIX_SCREENSHOT_HOME=1 "$0" "$@"
fi

work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Images as a user would have them: photos, scanned pages, a logo, a drawing.
images=$work/Pictures
mkdir -p "$images"
convert -size 1600x1200 gradient:'#4a90d9'-'#f5d6a0' -attenuate 0.3 +noise Gaussian \
    "$images/Beach at sunset.jpg"
convert -size 1200x1600 plasma:green-yellow -blur 0x2 "$images/Garden.jpg"
for page in 1 2; do
    lines=()
    for ((y = 300; y < 3000; y += 90)); do
        lines+=(-draw "rectangle 200,$y $((900 + (y * 37 + page * 500) % 1380)),$((y + 34))")
    done
    convert -size 2480x3508 xc:white -fill black "${lines[@]}" -attenuate 0.5 +noise Impulse \
        -monochrome -compress Group4 "$images/Contract page $page.tif"
done
convert -size 512x512 xc:none -fill '#f08624' -draw 'circle 256,256 256,40' "$images/Logo.png"
convert -size 800x600 xc:'#dde7f3' -stroke '#1f3a60' -strokewidth 4 -fill none \
    -draw 'rectangle 60,60 740,540' -draw 'line 400,60 400,300' -draw 'line 60,300 740,300' \
    "$images/Floor plan.bmp"
home=$work
if [ -n "${OMBRIX_SCREENSHOT_HOME:-}" ]; then
    mount -t tmpfs tmpfs /home
    home=/home/alex
fi
mkdir -p "$home/Documents" "$home/.config"
echo 'XDG_DOCUMENTS_DIR="$HOME/Documents"' >"$home/.config/user-dirs.dirs"

start_xvfb "$work"
env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" DISPLAY="$DISPLAY" \
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
