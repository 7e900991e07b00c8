#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: in build/ with the
# project's warnings as errors, and in build-sanitize/ with AddressSanitizer and
# UndefinedBehaviorSanitizer as well. The display-free tests run without a display, the GUI
# tests (label "gui") under Xvfb with a window manager (Openbox), one at a time. The fuzzer
# (label "fuzz") is sanitized by itself and runs in the first build only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OMBRIX_BUILD_DIR:-$root/build}
sanitize_build=${OMBRIX_SANITIZE_BUILD_DIR:-$build-sanitize}
"$root/scripts/install-deps.sh"

status=0
# The GUI tests run on a desktop as people have it: a window manager frames, places and focuses
# the windows.
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/with-window-manager.sh")
ctest_args=(--output-on-failure --no-tests=error)

echo "== build ($build)"
OMBRIX_BUILD_DIR=$build "$root/scripts/build.sh" -DOMBRIX_WERROR=ON
(cd "$build" && env -u DISPLAY -u WAYLAND_DISPLAY ctest "${ctest_args[@]}" -j2 -LE gui) || status=1
(cd "$build" && "${xvfb[@]}" ctest "${ctest_args[@]}" -L gui) || status=1

echo "== sanitized build ($sanitize_build)"
OMBRIX_BUILD_DIR=$sanitize_build "$root/scripts/build.sh" -DOMBRIX_WERROR=ON -DOMBRIX_SANITIZE=ON
# Undefined behaviour, memory errors and leaks end the test with a report. The toolkit's
# libraries keep caches for the life of the process that the leak checker would report: the
# suppressions name those caches only (tests/sanitizer/lsan.supp).
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0
(cd "$sanitize_build" && env -u DISPLAY -u WAYLAND_DISPLAY \
    ctest "${ctest_args[@]}" -j2 -LE 'gui|fuzz') || status=1
(cd "$sanitize_build" && "${xvfb[@]}" ctest "${ctest_args[@]}" -L gui) || status=1
exit $status
