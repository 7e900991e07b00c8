#!/usr/bin/env bash
# Started without a display (a menu entry of a remote session, a broken login), the
# application says why on the standard error and ends with status 1; the toolkit's message
# box would need the display that is missing.
#   app_without_display_test.sh APP_PROGRAM
set -uo pipefail
app=$1
output=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$app" 2>&1)
status=$?
echo "$output"
if [ "$status" -ne 1 ]; then
    echo "FAIL: exit status $status, not 1"
    exit 1
fi
if ! grep -q "Unable to initialize GTK+, is DISPLAY set" <<<"$output"; then
    echo "FAIL: the reason is not given"
    exit 1
fi
echo "ended with status 1 and its reason"
