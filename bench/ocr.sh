#!/usr/bin/env bash
# Searchable PDFs: our converter with --ocr (pages recognised on the -j workers, the engine on
# one thread each) against the engine alone (tesseract IMAGE OUT pdf, text only) and against
# the usual two-step pipeline: a lossless converter (img2pdf), then tesseract's text-only PDF
# laid over it (qpdf --overlay), each page its own process, the same number at once. Pages of
# text at 300 dpi as PNG, JPEG and a 204 x 98 dpi Group 4 fax. Prints medians per page and the
# ratios. The contenders take turns, run after run.
#   bench/ocr.sh [--runs N] [--jobs N] [--pages N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=3
jobs=$(nproc)
pages=6
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --pages) pages=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

"$root/scripts/install-deps.sh"
build=${OMBRIX_BUILD_DIR:-$root/build}
[ -x "$build/stage/bin/ombrix-convert" ] || "$root/scripts/build.sh" >/dev/null
cli=$build/stage/bin/ombrix-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/pages"

# Pages of text: 30 lines of words, as PNG, JPEG and fax in turn.
words="Harbour lantern kitchen marble number letter station morning river garden"
for i in $(seq 1 "$pages"); do
    draw=()
    for line in $(seq 0 29); do
        draw+=(-annotate "+180+$((300 + line * 100))" "$words $i $line")
    done
    case $((i % 3)) in
        1) out=(-type Grayscale -units PixelsPerInch -density 300 "$work/pages/page$i.png") ;;
        2) out=(-quality 85 -units PixelsPerInch -density 300 "$work/pages/page$i.jpg") ;;
        0) out=(-sample 68%x32.67%! -monochrome -compress Group4 -units PixelsPerInch
                -density 204x98 "$work/pages/page$i.tif") ;;
    esac
    convert -size 2480x3508 xc:white -font DejaVu-Sans -pointsize 50 -fill black "${draw[@]}" \
        "${out[@]}"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# once LABEL COMMAND...: runs the command once, its output in $work/out (empty at the start),
# and adds its seconds to the label's list.
once() {
    local label=$1
    shift
    rm -rf "$work/out"
    mkdir -p "$work/out"
    sync
    if /usr/bin/time -f '%e' -o "$work/time" "$@" >/dev/null 2>"$work/err"; then
        cat "$work/time" >>"$work/times.$label"
    else
        echo "$label failed: $(tail -n 2 "$work/err")" >&2
    fi
}

export OMP_THREAD_LIMIT=1 # the engine on one thread per page for every contender
engine() {
    find "$work/pages" -type f -print0 | xargs -0 -P "$jobs" -n 1 sh -c \
        'tesseract "$1" "$0/$(basename "$1")" -l eng -c textonly_pdf=1 pdf' "$work/out"
}
two_step() {
    find "$work/pages" -type f -print0 | xargs -0 -P "$jobs" -n 1 sh -c '
        out=$0/$(basename "$1")
        img2pdf -o "$out.image.pdf" "$1" &&
        tesseract "$1" "$out.text" -l eng -c textonly_pdf=1 pdf &&
        qpdf "$out.image.pdf" --overlay "$out.text.pdf" -- "$out.pdf"' "$work/out"
}

export -f engine two_step
export work jobs
labels=("ombrix-convert --ocr eng -j $jobs" "tesseract alone (text-only PDF)"
        "img2pdf + tesseract + qpdf --overlay")
# The contenders take turns, so that a busy moment of the machine falls on each alike.
for run in $(seq 1 "$runs"); do
    echo "run $run of $runs" >&2
    once 0 env HOME="$work/home" "$cli" --ocr eng -j "$jobs" -o "$work/out" "$work/pages"
    once 1 bash -c engine
    once 2 bash -c two_step
done
results=$work/results
for i in 0 1 2; do
    printf '%s|%s\n' "${labels[$i]}" "$(median <"$work/times.$i")"
done >"$results"

echo
echo "$pages pages, $jobs at once, median of $runs runs"
ours=$(sed -n 1p "$results" | cut -d'|' -f2)
while IFS='|' read -r label seconds; do
    awk -v l="$label" -v s="$seconds" -v o="$ours" -v p="$pages" \
        'BEGIN { printf "%-40s %7.2f s  %6.3f s/page  ours / this %.3f\n", l, s, s / p, o / s }'
done <"$results"
