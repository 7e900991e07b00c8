#!/usr/bin/env bash
# Configures and builds the project into build/ and stages the installation tree
# under build/stage (bin/, page.xml, option.cfg, Themes/, Language/).
#   scripts/build.sh [CMAKE_OPTION...]      e.g. -DOMBRIX_WERROR=ON
# OMBRIX_BUILD_DIR names another build folder; OMBRIX_JOBS the number of parallel jobs (by
# default one per processor).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OMBRIX_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" -j"${OMBRIX_JOBS:-$(nproc)}"
