#!/usr/bin/env bash
# Makes the README's picture of the main window from the real program: a few images on its
# command line, converted with Ctrl+Return under a private Xvfb display, the window captured
# when the job has ended (one file is broken on purpose, so a failed row shows too).
#   scripts/readme-screenshot.sh [OUTPUT.png]    (default: docs/main-window.png)
# OMBRIX_LANGUAGE=89 takes it in another interface language (the numbers of language.txt:
# 46 and 47 Chinese, 80 French, 89 German, 110 Italian, 112 Japanese).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/main-window.png}
build=${OMBRIX_BUILD_DIR:-$root/build}
if [ -z "${OMBRIX_IN_XVFB:-}" ]; then
    exec env OMBRIX_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$out"
fi
# A short, fixed home: its folders show in the picture.
work=/tmp/ombrix-demo
rm -rf "$work"
trap 'rm -rf "$work"' EXIT

export HOME=$work/alex XDG_CONFIG_HOME=$work/alex/.config XDG_CACHE_HOME=$work/alex/.cache
pictures=$HOME/Pictures/Holiday
mkdir -p "$HOME/Documents" "$XDG_CONFIG_HOME" "$pictures"
echo 'XDG_DOCUMENTS_DIR="$HOME/Documents"' > "$XDG_CONFIG_HOME/user-dirs.dirs"
if [ -n "${OMBRIX_LANGUAGE:-}" ]; then
    userdata="$HOME/Documents/Ombrix files/Ombrix Image to PDF Converter"
    mkdir -p "$userdata"
    echo "$OMBRIX_LANGUAGE" > "$userdata/language.txt"
fi
convert -size 1600x1200 plasma:fractal -quality 92 "$pictures/Beach at noon.jpg"
convert -size 1200x1600 plasma:fractal -quality 92 "$pictures/Harbour.jpg"
convert -size 1280x800 gradient:navy-skyblue "$pictures/Screenshot 2026-07-14.png"
convert -size 2480x3508 xc:white -fill black -draw "rectangle 200,300 2280,420" \
    -monochrome -compress Group4 "$pictures/Scanned letter.tif"
convert -size 640x480 plasma:fractal "$pictures/Sunset.bmp"
printf 'not an image' > "$pictures/Broken download.gif"

"$build/stage/bin/ombrix-image-to-pdf" "$pictures" &
app=$!
for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --pid "$app" --name "Image to PDF Converter" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; kill $app; exit 1; }
eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print "x=" $4} /Absolute upper-left Y/ {print "y=" $4} /Width/ {print "w=" $2} /Height/ {print "h=" $2}')"
output="$HOME/Documents/Ombrix/Ombrix Image to PDF Converter"
# A click on the list's empty space gives the window the keyboard; Ctrl+Return converts.
for _ in $(seq 1 50); do
    xdotool mousemove $((x + w / 2)) $((y + 420)) click 1 key ctrl+Return
    sleep 0.2
    [ "$(ls "$output" 2>/dev/null | wc -l)" -ge 5 ] && break
done
sleep 1 # the last row's status painted
mkdir -p "$(dirname "$out")"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
kill $app 2>/dev/null || true
wait $app 2>/dev/null || true
echo "$out"
