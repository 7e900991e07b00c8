#!/usr/bin/env bash
# Builds the benchmark corpus in DIR (default build/bench-data): 200 photo-like JPEGs of
# 3-5 MB (12 megapixels), 200 PNG screenshots (1920 x 1080, RGB), 40 interlaced PNG
# screenshots (decoded and compressed anew by every converter), 50 scanned letter pages
# (300 dpi, black and white, TIFF Group 4) and 10 dense scans (dithered, Group 4, about 3 MB
# a page). Distinct images are made once and copied under many names, as the work of a
# converter does not depend on the picture.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/bench-data}
im=/usr/bin/convert
mkdir -p "$dir/photos" "$dir/screens" "$dir/interlaced" "$dir/scans" "$dir/dense" "$dir/src"

if [ ! -f "$dir/photos/photo-200.jpg" ]; then
    echo "Making photos"
    for i in $(seq 1 20); do
        attenuate=$(awk -v i="$i" 'BEGIN { printf "%.2f", 0.25 + (i % 5) * 0.07 }')
        echo "$im -seed $i -size 4000x3000 plasma:fractal -attenuate $attenuate +noise Gaussian -quality 90 -sampling-factor 2x2 $dir/src/photo-$i.jpg"
    done | xargs -P 2 -I{} sh -c '{}'
    for n in $(seq 1 200); do cp "$dir/src/photo-$(( (n - 1) % 20 + 1 )).jpg" "$dir/photos/photo-$n.jpg"; done
fi

if [ ! -f "$dir/screens/screen-200.png" ]; then
    echo "Making screenshots"
    for i in $(seq 1 10); do
        args=(-font DejaVu-Sans -size 1920x1080 "xc:#f4f5f7" -fill "#2d5aa0" -draw "rectangle 0,0 1920,64"
              -fill white -pointsize 26 -annotate +24+42 "Quarterly report $i - Editor")
        args+=(-fill "#e3e7ee" -draw "rectangle 0,64 300,1080")
        for row in $(seq 0 24); do
            y=$((110 + row * 38))
            args+=(-fill "#1f2430" -pointsize 20 -annotate "+330+$y" "Line $row of window $i: revenue $(( (row * 37 + i * 11) % 997 )).$(( row % 10 )) units, status ok, item $((row * i))")
            args+=(-fill "#3b4252" -pointsize 18 -annotate "+24+$y" "Folder $((row + i))")
        done
        args+=(-fill "#d6e4ff" -draw "rectangle 1500,100 1880,500" -fill "#ffb74d" -draw "circle 1690,300 1690,400")
        $im "${args[@]}" -depth 8 -define png:color-type=2 "$dir/src/screen-$i.png"
    done
    for n in $(seq 1 200); do cp "$dir/src/screen-$(( (n - 1) % 10 + 1 )).png" "$dir/screens/screen-$n.png"; done
fi

if [ ! -f "$dir/scans/scan-50.tif" ]; then
    echo "Making scans"
    for i in $(seq 1 5); do
        args=(-font DejaVu-Sans -size 2550x3300 xc:white -fill black -pointsize 44)
        for row in $(seq 0 60); do
            args+=(-annotate "+180+$((260 + row * 48))" "Scanned page $i, line $row: the quick brown fox jumps over the lazy dog $((row * i)).")
        done
        $im "${args[@]}" -monochrome -density 300 -units PixelsPerInch -compress Group4 "$dir/src/scan-$i.tif"
    done
    for n in $(seq 1 50); do cp "$dir/src/scan-$(( (n - 1) % 5 + 1 )).tif" "$dir/scans/scan-$n.tif"; done
fi
if [ ! -f "$dir/interlaced/interlaced-40.png" ]; then
    echo "Making interlaced screenshots"
    for i in $(seq 1 10); do
        $im "$dir/src/screen-$i.png" -interlace PNG -depth 8 -define png:color-type=2 "$dir/src/interlaced-$i.png"
    done
    for n in $(seq 1 40); do cp "$dir/src/interlaced-$(( (n - 1) % 10 + 1 )).png" "$dir/interlaced/interlaced-$n.png"; done
fi

if [ ! -f "$dir/dense/dense-10.tif" ]; then
    echo "Making dense scans"
    for i in $(seq 1 5); do
        echo "$im -seed $i -size 2550x3300 plasma:fractal -colorspace Gray -attenuate 0.15 +noise Uniform -ordered-dither o2x2 -monochrome -density 300 -units PixelsPerInch -compress Group4 $dir/src/dense-$i.tif"
    done | xargs -P 2 -I{} sh -c '{}'
    for n in $(seq 1 10); do cp "$dir/src/dense-$(( (n - 1) % 5 + 1 )).tif" "$dir/dense/dense-$n.tif"; done
fi
du -sh "$dir/photos" "$dir/screens" "$dir/interlaced" "$dir/scans" "$dir/dense"
