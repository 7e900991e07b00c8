#!/usr/bin/env bash
# The newer formats' speed: a merge of photos in WebP and in HEIC by ombrix-convert, beside
# decoding the same files with the libraries' own command-line tools (dwebp, heif-convert, one
# file after the other, into raw PAM or Y4M files). Prints the medians of the runs and their
# ratio (ours / the tools'); the goal is at most 1.10.
#   bench/new-formats.sh [--runs N] [--count N] [--size WxH]
# OMBRIX_BENCH_NO_BUILD=1 uses the build as it is (no installation, no build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=3
count=50
size=2000x1500
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --count) count=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
if [ -z "${OMBRIX_BENCH_NO_BUILD:-}" ]; then
    "$root/scripts/install-deps.sh"
    "$root/scripts/build.sh" >/dev/null
fi
build=${OMBRIX_BUILD_DIR:-$root/build}
cli=$build/stage/bin/ombrix-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/webp" "$work/heic" "$work/decoded"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
now() { date +%s.%N; }

# Photo-like images: a few distinct ones, each saved under several names.
for i in $(seq 1 5); do
    convert -size "$size" plasma:fractal -blur 0x2 -quality 95 "$work/photo$i.png"
done
for i in $(seq -w 1 "$count"); do
    source=$work/photo$(((10#$i - 1) % 5 + 1)).png
    cwebp -quiet -q 85 "$source" -o "$work/webp/photo$i.webp"
    heif-enc -q 85 "$source" -o "$work/heic/photo$i.heic" >/dev/null
done

# seconds COMMAND...: the median wall time of the runs.
seconds() {
    local times=()
    for _ in $(seq 1 "$runs"); do
        rm -rf "$work/out" "$work/decoded"
        mkdir -p "$work/out" "$work/decoded"
        local start
        start=$(now)
        "$@" >/dev/null
        times+=("$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')")
    done
    printf '%s\n' "${times[@]}" | median
}

decode_webp() {
    for f in "$work"/webp/*.webp; do dwebp -quiet "$f" -pam -o "$work/decoded/$(basename "$f").pam"; done
}
decode_heic() {
    for f in "$work"/heic/*.heic; do heif-convert "$f" "$work/decoded/$(basename "$f").y4m" >/dev/null; done
}

# The merge makes its pages on every processor while the tools decode one file after the
# other: the merge is timed on one processor too (taskset), for the ratio of the work itself.
for format in webp heic; do
    ours=$(seconds env HOME="$work/home" "$cli" -o "$work/out" -m merged "$work/$format")
    single=$(seconds taskset -c 0 env HOME="$work/home" "$cli" -o "$work/out" -m merged "$work/$format")
    tools=$(seconds "decode_$format")
    printf '%s: %d images of %s: ombrix-convert merge %.2f s (one processor %.2f s), %s %.2f s, ratio %.2f (one processor %.2f; medians of %d)\n' \
        "$format" "$count" "$size" "$ours" "$single" "$([ $format = webp ] && echo dwebp || echo heif-convert)" \
        "$tools" "$(awk -v a="$ours" -v b="$tools" 'BEGIN { print a / b }')" \
        "$(awk -v a="$single" -v b="$tools" 'BEGIN { print a / b }')" "$runs"
done
