#!/usr/bin/env bash
# Runs a command on the current X display with a window manager (Openbox) managing it, as on
# a desktop: windows get frames, are placed and focused by the manager, and dialogs go where
# it puts them. The manager is stopped when the command ends; the command's status is kept.
#   scripts/with-window-manager.sh COMMAND [ARG...]
set -uo pipefail
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# The manager is running once it names itself on the root window.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    kill -0 "$wm" 2>/dev/null || { echo "the window manager did not start" >&2; exit 1; }
    sleep 0.1
done
"$@"
status=$?
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit $status
