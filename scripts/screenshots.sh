#!/usr/bin/env bash
# Saves a PNG picture of each window of the control program and the monitor, drawn over a sample data
# folder on a private Xvfb display, so that a person can look at them.
#   scripts/screenshots.sh [OUTPUT_FOLDER] [WINDOW...]    (default: build-test/screenshots)
# It builds the test tree first (make's test-fast build folder) when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_TEST:-build-test}
out=${1:-$build/screenshots}
shift || true
scripts/install-deps.sh --test
if [[ ! -x $build/bin/window_screenshots ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target window_screenshots >/dev/null
mkdir -p "$out"

runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=xcb
# The web engine: no sandbox as root, and its shared memory in a plain folder (a small
# /dev/shm makes a page load hang).
if [[ $(id -u) -eq 0 ]]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-dev-shm-usage
unset WAYLAND_DISPLAY
# xvfb-run picks a free display number and stops the server afterwards.
xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" "$build/bin/window_screenshots" "$out" "$@"
