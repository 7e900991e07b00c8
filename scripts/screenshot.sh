#!/usr/bin/env bash
# Developer tool: runs a program on a private Xvfb display and saves a screenshot of it.
#   scripts/screenshot.sh OUTPUT.png SECONDS PROGRAM [ARGS...]
set -euo pipefail
out=$1 wait=$2
shift 2
display=:$((100 + RANDOM % 800))
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display "$@" &
program=$!
sleep "$wait"
DISPLAY=$display import -window root "$out"
kill -TERM $program 2>/dev/null || true
wait $program 2>/dev/null || true
