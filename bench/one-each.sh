#!/usr/bin/env bash
# One PDF per image: our converter converting several files at once (-j, one per processor)
# against itself one file at a time, and img2pdf and mutool run once per image over the same
# processors (xargs -P). Prints medians, the ratio of each to ours with -j, and peak memory.
#   bench/one-each.sh [--runs N] [--jobs N] [--sets photos,screens,scans]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=3
jobs=$(nproc)
sets=photos,screens,scans
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --sets) sets=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null
data=$root/build/bench-data
"$root/bench/make-corpus.sh" "$data" >/dev/null
build=${OMBRIX_BUILD_DIR:-$root/build}
cli=$build/stage/bin/ombrix-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure LABEL OUTPUT_DIR COMMAND...: prints "label|median seconds|peak kB"; the command
# writes into OUTPUT_DIR, which starts empty on every run.
measure() {
    local label=$1 output=$2
    shift 2
    local times=() peak=0
    for _ in $(seq 1 "$runs"); do
        rm -rf "$output"
        mkdir -p "$output"
        sync # every run starts without dirty pages to write back
        /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
            echo "$label failed: $(tail -n 2 "$work/err")" >&2
            return 0
        }
        read -r seconds kb < "$work/time"
        times+=("$seconds")
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    printf '%s|%s|%s\n' "$label" "$(printf '%s\n' "${times[@]}" | median)" "$peak"
}

# Runs a command per image, `jobs` at once: TOOL is "img2pdf" or "mutool".
per_image() {
    local tool=$1 output=$2
    shift 2
    printf '%s\0' "$@" | xargs -0 -P "$jobs" -n 1 sh -c '
        case $0 in
            img2pdf) img2pdf -o "$1/$(basename "$2").pdf" "$2" ;;
            mutool) mutool convert -o "$1/$(basename "$2").pdf" "$2" ;;
        esac' "$tool" "$output"
}

echo "One PDF per image, $jobs at once (medians of $runs runs; ratio: time / ours with -j $jobs)."
for set in ${sets//,/ }; do
    files=("$data/$set"/*)
    cat "${files[@]}" > /dev/null # into the page cache
    echo
    echo "$set: ${#files[@]} images ($(du -sh "$data/$set" | cut -f1))"
    ours=(env HOME="$work/home" XDG_CACHE_HOME="$work/home/.cache" "$cli")
    lines=()
    lines+=("$(measure "ombrix-convert -j $jobs" "$work/out" "${ours[@]}" -j "$jobs" -o "$work/out" "${files[@]}")")
    lines+=("$(measure "ombrix-convert -j 1" "$work/out" "${ours[@]}" -j 1 -o "$work/out" "${files[@]}")")
    lines+=("$(measure "img2pdf, xargs -P $jobs" "$work/out" bash -c "$(declare -f per_image); jobs=$jobs; per_image img2pdf \"\$@\"" _ "$work/out" "${files[@]}")")
    lines+=("$(measure "mutool, xargs -P $jobs" "$work/out" bash -c "$(declare -f per_image); jobs=$jobs; per_image mutool \"\$@\"" _ "$work/out" "${files[@]}")")
    reference=$(cut -d'|' -f2 <<< "${lines[0]}")
    for line in "${lines[@]}"; do
        [ -n "$line" ] || continue
        IFS='|' read -r label seconds peak <<< "$line"
        awk -v l="$label" -v s="$seconds" -v r="$reference" -v p="$peak" \
            'BEGIN { if (r < 0.01) r = 0.01; printf "  %-26s %8.2f s %8.2fx %8.0f MB\n", l, s, s / r, p / 1024 }'
    done
done
