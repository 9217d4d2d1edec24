#!/usr/bin/env bash
# Writes the README's pictures: builds everything (the demo prefix needs the
# tools and both libraries), then runs the screenshot program on a fresh
# demo prefix under Xvfb at each screen size, and at 200 %. Needs xvfb (apt-get install
# xvfb).
#
#   scripts/screenshots.sh [folder]        (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots}
if ! command -v xvfb-run >/dev/null; then
  echo "screenshots.sh: needs xvfb-run (apt-get install xvfb)" >&2
  exit 1
fi
cmake -S . -B build -G Ninja >/dev/null
ninja -C build
mkdir -p "$out"
# Screen size and scale factor: the last is 200 %, a 1280x800 desktop on a
# 2560x1600 screen.
for run in 1280x800:1 1920x1080:1 2560x1600:2; do
  size=${run%:*} scale=${run#*:}
  # A server of its own for each size; nothing of the host's display is used.
  QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 ${size}x24 -nolisten tcp" \
    build/tests/e2e/window/e2e_screenshots "$out"
done
echo "screenshots.sh: pictures in $out"
