#!/usr/bin/env bash
# Developer tool: runs a program on a private Xvfb display and saves a screenshot of it.
#   scripts/screenshot.sh OUTPUT.png SECONDS PROGRAM [ARGS...]
# xvfb-run picks a free display (-a) and ends the server with the program.
set -euo pipefail
if [ -z "${OMBRIX_SCREENSHOT_INNER:-}" ]; then
    exec env OMBRIX_SCREENSHOT_INNER=1 xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" "$0" "$@"
fi
out=$1 wait=$2
shift 2
"$@" &
program=$!
sleep "$wait"
import -window root "$out"
kill -TERM $program 2>/dev/null || true
wait $program 2>/dev/null || true
