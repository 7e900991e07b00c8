#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the display-free tests
# without a display, the GUI tests (label "gui") under Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OMBRIX_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "$build"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY ctest --output-on-failure -j2 -LE gui || status=1
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -L gui || status=1
exit $status
