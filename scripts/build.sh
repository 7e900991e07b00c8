#!/usr/bin/env bash
# Configures and builds the project into build/ and stages the installation tree
# under build/stage (bin/, page.xml, option.cfg, Themes/, Language/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OMBRIX_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
