#!/usr/bin/env bash
# The cost of archival output: our converter merging the photo and screenshot sets of the
# benchmark (JPEG and PNG data passed through) as a plain PDF and as PDF/A-1b, 2b and 3b
# (3b with the originals attached, which copies every file once more), runs interleaved;
# medians, and each one's ratio to the plain PDF.
#   bench/pdfa.sh [--runs N] [--sets photos,screens]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
sets=photos,screens
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --sets) sets=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

build=${OMBRIX_BUILD_DIR:-$root/build}
data=$root/build/bench-data
"$root/bench/make-corpus.sh" "$data" >/dev/null
convert_cli=$build/stage/bin/ombrix-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# once NAME ARGS...: one timed merge; appends its seconds to $work/NAME.runs.
once() {
    local name=$1
    shift
    rm -f "$work/$name.pdf"
    sync
    /usr/bin/time -f '%e' -o "$work/time" env HOME="$work/home" "$convert_cli" -o "$work" \
        -m "$name" "$@" >/dev/null 2>"$work/err" || { tail -n 3 "$work/err" >&2; exit 1; }
    cat "$work/time" >> "$work/$name.runs"
    du -b "$work/$name.pdf" | cut -f1 > "$work/$name.size"
}

variants=(plain pdfa-1b pdfa-2b pdfa-3b)
declare -A flags=(
    [plain]=""
    [pdfa-1b]="--pdfa 1b"
    [pdfa-2b]="--pdfa 2b"
    [pdfa-3b]="--pdfa 3b --attach-originals"
)
echo "Medians of $runs interleaved runs; ratio to the plain PDF (below 1.10: within the aim)."
for set in ${sets//,/ }; do
    files=("$data/$set"/*)
    cat "${files[@]}" > /dev/null # into the page cache
    rm -f "$work"/*.runs
    echo
    echo "Merging ${#files[@]} $set ($(du -sh "$data/$set" | cut -f1)) into one PDF"
    for round in $(seq 1 "$runs"); do
        # Each round starts with another variant, so that none always follows the same one.
        for i in "${!variants[@]}"; do
            variant=${variants[$(( (i + round) % ${#variants[@]} ))]}
            # shellcheck disable=SC2086 # the flags are words
            once "$variant" ${flags[$variant]} "${files[@]}"
        done
    done
    plain=$(median < "$work/plain.runs")
    for variant in "${variants[@]}"; do
        seconds=$(median < "$work/$variant.runs")
        awk -v l="$variant" -v s="$seconds" -v p="$plain" -v b="$(cat "$work/$variant.size")" \
            'BEGIN { if (p < 0.01) p = 0.01;
                     printf "  %-10s %7.2f s %6.3fx plain %9.1f MB\n", l, s, s / p, b / 1048576 }'
    done
done
