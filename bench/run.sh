#!/usr/bin/env bash
# Runs our converter beside the tools a user would otherwise pick (img2pdf, MuPDF's
# mutool convert, ImageMagick) and the floor (cat or cp of the inputs), on the same files in
# one run, and prints medians, ratios to the floor, output sizes and peak memory.
#   bench/run.sh [--runs N] [--no-imagemagick] [--sets photos,screens,scans]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=3
imagemagick=1
sets=photos,screens,scans
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

# measure LABEL RUNS OUTPUT COMMAND...: prints "label|median|peak_kb|output_bytes"
measure() {
    local label=$1 n=$2 output=$3
    shift 3
    local times=() peak=0
    for _ in $(seq 1 "$n"); do
        rm -rf "$output"
        sync # every run starts without dirty pages to write back
        /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
            echo "$label failed: $(tail -n 2 "$work/err")" >&2
            return 0
        }
        read -r seconds kb < "$work/time"
        times+=("$seconds")
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    local size
    size=$(du -sb "$output" | cut -f1)
    printf '%s|%s|%s|%s\n' "$label" "$(printf '%s\n' "${times[@]}" | median)" "$peak" "$size"
}

report() { # FLOOR_SECONDS lines...
    local floor=$1
    shift
    for line in "$@"; do
        [ -n "$line" ] || continue
        IFS='|' read -r label seconds peak size <<< "$line"
        awk -v l="$label" -v s="$seconds" -v f="$floor" -v p="$peak" -v b="$size" \
            'BEGIN { if (f < 0.01) f = 0.01; printf "  %-26s %8.2f s %8.1fx %10.1f MB %8.0f MB\n", l, s, s / f, b / 1048576, p / 1024 }'
    done
}

echo "Medians of $runs runs (ImageMagick: 1 run). Columns: time, ratio to the floor, output, peak memory."
for set in ${sets//,/ }; do
    files=("$data/$set"/*)
    count=${#files[@]}
    cat "${files[@]}" > /dev/null # into the page cache
    echo
    echo "Merging $count $set ($(du -sh "$data/$set" | cut -f1)) into one PDF"
    lines=()
    floor=$(measure "cat (floor)" "$runs" "$work/cat.out" bash -c 'cat "$@" > "$0"' "$work/cat.out" "${files[@]}")
    lines+=("$floor")
    if [ -x "$convert_cli" ]; then
        lines+=("$(measure "ombrix-convert" "$runs" "$work/ours.pdf" env HOME="$work/home" "$convert_cli" -o "$work" -m ours "${files[@]}")")
    else
        lines+=("$(measure "ombrix (service)" "$runs" "$work/ours.pdf" "$driver" "$work/ours.pdf" "${files[@]}")")
    fi
    lines+=("$(measure "img2pdf" "$runs" "$work/img2pdf.pdf" img2pdf -o "$work/img2pdf.pdf" "${files[@]}")")
    lines+=("$(measure "mutool convert" "$runs" "$work/mutool.pdf" mutool convert -o "$work/mutool.pdf" "${files[@]}")")
    if [ "$imagemagick" = 1 ]; then
        lines+=("$(measure "imagemagick convert" 1 "$work/im.pdf" timeout 900 /usr/bin/convert "${files[@]}" "$work/im.pdf")")
    fi
    report "$(echo "$floor" | cut -d'|' -f2)" "${lines[@]}"

    if [ -x "$convert_cli" ] && [ "$set" = photos ]; then
        echo
        echo "One PDF per image, $count $set"
        mkdir -p "$work/each"
        lines=()
        floor=$(measure "cp loop (floor)" "$runs" "$work/each" bash -c 'mkdir -p "$0"; for f in "$@"; do cp "$f" "$0/$(basename "$f").pdf"; done' "$work/each" "${files[@]}")
        lines+=("$floor")
        lines+=("$(measure "ombrix-convert" "$runs" "$work/each" env HOME="$work/home" bash -c 'mkdir -p "$0"; "$1" -o "$0" "${@:2}"' "$work/each" "$convert_cli" "${files[@]}")")
        lines+=("$(measure "img2pdf (per image)" "$runs" "$work/each" bash -c 'mkdir -p "$0"; for f in "$@"; do img2pdf -o "$0/$(basename "$f").pdf" "$f"; done' "$work/each" "${files[@]}")")
        lines+=("$(measure "mutool (per image)" "$runs" "$work/each" bash -c 'mkdir -p "$0"; for f in "$@"; do mutool convert -o "$0/$(basename "$f").pdf" "$f"; done' "$work/each" "${files[@]}")")
        report "$(echo "$floor" | cut -d'|' -f2)" "${lines[@]}"
    fi
done
