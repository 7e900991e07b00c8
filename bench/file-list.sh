#!/usr/bin/env bash
# The file list with many rows: for each size, a folder of that many images is loaded through
# the list's real load path in the real window under Xvfb; prints the time until every row is
# shown, the memory the rows take and the time per page when scrolling through. Medians of
# the runs.
#   bench/file-list.sh [--runs N] [--sizes 1000,10000]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=3
sizes=1000,10000
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --sizes) sizes=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null
build=${OMBRIX_BUILD_DIR:-$root/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME/Documents"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

convert -size 64x48 xc:orange "$work/one.jpg"
for n in ${sizes//,/ }; do
    folder=$work/images-$n
    mkdir -p "$folder"
    # The rows need files to list and measure, not distinct images: links to one.
    for i in $(seq -w 1 "$n"); do ln "$work/one.jpg" "$folder/photo $i.jpg"; done
    shown=() memory=() scroll=()
    for _ in $(seq 1 "$runs"); do
        line=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tools/list-bench" "$folder")
        shown+=("$(awk '{print $4}' <<<"$line")")
        memory+=("$(awk '{print $7}' <<<"$line")")
        scroll+=("$(awk '{for (i = 1; i <= NF; ++i) if ($i == "scroll") print $(i + 1)}' <<<"$line")")
    done
    printf '%6d files: shown in %s s, rows take %s MB, scrolling %s ms per page (medians of %d)\n' \
        "$n" "$(printf '%s\n' "${shown[@]}" | median)" "$(printf '%s\n' "${memory[@]}" | median)" \
        "$(printf '%s\n' "${scroll[@]}" | median)" "$runs"
done
