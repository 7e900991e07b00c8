#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
exec "${OMBRIX_BUILD_DIR:-$root/build}/stage/bin/ombrix-image-to-pdf"
