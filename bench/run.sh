#!/usr/bin/env bash
# Runs our converter beside the tools a user would otherwise pick (img2pdf, MuPDF's
# mutool convert, ImageMagick) and the floor (cat of the inputs) on the same files. The runs
# of the tools are interleaved (one run of each tool, then the next round), so that a busy
# machine weighs on all alike; medians are printed with the ratio to the floor, how many
# times faster we are than each peer, the output size and peak memory.
#   bench/run.sh [--runs N] [--no-imagemagick] [--sets photos,screens,interlaced,scans,dense]
# Sets: photos (200 JPEGs, passed through), screens (200 PNG screenshots, passed through),
# interlaced (40 interlaced PNG screenshots, decoded and compressed anew), scans (50 Group 4
# letter pages), dense (10 dense dithered Group 4 scans).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=3
imagemagick=1
im_limit=900 # seconds: ImageMagick takes many minutes on scans
sets=photos,screens,interlaced,scans,dense
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --no-imagemagick) imagemagick=0; shift ;;
        --sets) sets=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null
"$root/bench/setup-imagemagick.sh"
data=$root/build/bench-data
"$root/bench/make-corpus.sh" "$data" >/dev/null
build=${OMBRIX_BUILD_DIR:-$root/build}
convert_cli=$build/stage/bin/ombrix-convert
driver=$build/tools/pdf-driver
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# once NAME OUTPUT COMMAND...: one timed run; appends "seconds kb" to $work/NAME.runs.
once() {
    local name=$1 output=$2
    shift 2
    rm -rf "$output"
    sync # every run starts without dirty pages to write back
    local status=0
    /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || status=$?
    if [ $status = 0 ]; then
        cat "$work/time" >> "$work/$name.runs"
        du -sb "$output" | cut -f1 > "$work/$name.size"
    elif [ $status = 124 ]; then
        touch "$work/$name.timeout" # from timeout(1)
    else
        echo "$name failed: $(tail -n 2 "$work/err")" >&2
    fi
}

# report NAME LABEL FLOOR OURS: one line of the table.
report() {
    local name=$1 label=$2 floor=$3 ours=$4
    if [ ! -s "$work/$name.runs" ]; then
        if [ -e "$work/$name.timeout" ]; then
            printf '  %-22s timed out (%s s)\n' "$label" "$im_limit"
        else
            printf '  %-22s failed\n' "$label"
        fi
        return
    fi
    local seconds peak size
    seconds=$(cut -d' ' -f1 "$work/$name.runs" | median)
    peak=$(cut -d' ' -f2 "$work/$name.runs" | sort -n | tail -n 1)
    size=$(cat "$work/$name.size")
    awk -v l="$label" -v s="$seconds" -v f="$floor" -v o="$ours" -v p="$peak" -v b="$size" \
        -v n="$(wc -l < "$work/$name.runs")" 'BEGIN {
            if (f < 0.01) f = 0.01; if (o < 0.01) o = 0.01;
            printf "  %-22s %8.2f s %7.1fx floor %7.2fx ours %10.1f MB %7.0f MB  (%d runs)\n",
                   l, s, s / f, s / o, b / 1048576, p / 1024, n }'
}

median_of() { cut -d' ' -f1 "$work/$1.runs" | median; }

echo "Medians of $runs interleaved runs (ImageMagick: 1 run)."
echo "Columns: time, ratio to the floor, ratio to ours (above 1: we are faster), output, peak memory."
for set in ${sets//,/ }; do
    files=("$data/$set"/*)
    count=${#files[@]}
    cat "${files[@]}" > /dev/null # into the page cache
    rm -f "$work"/*.runs "$work"/*.size "$work"/*.timeout
    echo
    echo "Merging $count $set ($(du -sh "$data/$set" | cut -f1)) into one PDF"
    for _ in $(seq 1 "$runs"); do
        once floor "$work/cat.out" bash -c 'cat "$@" > "$0"' "$work/cat.out" "${files[@]}"
        if [ -x "$convert_cli" ]; then
            once ours "$work/ours.pdf" env HOME="$work/home" "$convert_cli" -o "$work" -m ours "${files[@]}"
        else
            once ours "$work/ours.pdf" "$driver" "$work/ours.pdf" "${files[@]}"
        fi
        once img2pdf "$work/img2pdf.pdf" img2pdf -o "$work/img2pdf.pdf" "${files[@]}"
        once mutool "$work/mutool.pdf" mutool convert -o "$work/mutool.pdf" "${files[@]}"
    done
    if [ "$imagemagick" = 1 ]; then
        once imagemagick "$work/im.pdf" timeout "$im_limit" /usr/bin/convert "${files[@]}" "$work/im.pdf"
    fi
    floor=$(median_of floor)
    ours=$(median_of ours)
    report floor "cat (floor)" "$floor" "$ours"
    report ours "ombrix" "$floor" "$ours"
    report img2pdf "img2pdf" "$floor" "$ours"
    report mutool "mutool convert" "$floor" "$ours"
    [ "$imagemagick" = 1 ] && report imagemagick "imagemagick convert" "$floor" "$ours"

    if [ -x "$convert_cli" ] && [ "$set" = photos ]; then
        echo
        echo "One PDF per image, $count $set"
        rm -f "$work"/*.runs "$work"/*.size "$work"/*.timeout
        mkdir -p "$work/each"
        for _ in $(seq 1 "$runs"); do
            once floor "$work/each" bash -c 'mkdir -p "$0"; for f in "$@"; do cp "$f" "$0/$(basename "$f").pdf"; done' "$work/each" "${files[@]}"
            once ours "$work/each" env HOME="$work/home" bash -c 'mkdir -p "$0"; "$1" -o "$0" "${@:2}"' "$work/each" "$convert_cli" "${files[@]}"
            once img2pdf "$work/each" bash -c 'mkdir -p "$0"; for f in "$@"; do img2pdf -o "$0/$(basename "$f").pdf" "$f"; done' "$work/each" "${files[@]}"
            once mutool "$work/each" bash -c 'mkdir -p "$0"; for f in "$@"; do mutool convert -o "$0/$(basename "$f").pdf" "$f"; done' "$work/each" "${files[@]}"
        done
        floor=$(median_of floor)
        ours=$(median_of ours)
        report floor "cp loop (floor)" "$floor" "$ours"
        report ours "ombrix-convert" "$floor" "$ours"
        report img2pdf "img2pdf (per image)" "$floor" "$ours"
        report mutool "mutool (per image)" "$floor" "$ours"
    fi
done
