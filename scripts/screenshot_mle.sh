#!/usr/bin/env bash
# The windows of the maximum-likelihood model on an X display with a window manager
# (Xvfb and openbox) at 1280x1024 and at 1366x768: the results window with all five
# models, the bounds window on the fleet file and on a file with a ridge, its probability
# plot, causes chart and observed-against-expected chart, and the refusal on the bundled
# sample (a failure at 0 h).
#   scripts/screenshot_mle.sh [build-dir] [out-dir]
# The X displays are :67 (1280x1024) and :68 (1366x768); SCREENS="67:1280x1024 ..." to change.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=$(realpath -m "${2:-$build/screenshots/mle}")
screens=${SCREENS:-"67:1280x1024 68:1366x768"}
cmake --build "$build" --target mle_screenshot | tail -n 1
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
for s in $screens; do
  d=${s%%:*}; geom=${s#*:}
  Xvfb ":$d" -screen 0 "${geom}x24" -nolisten tcp >/dev/null 2>&1 & pids+=($!)
  sleep 1
  DISPLAY=":$d" openbox >/dev/null 2>&1 & pids+=($!)
  sleep 1
  mkdir -p "$out/$geom"
  DISPLAY=":$d" QT_QPA_PLATFORM=xcb "$build/tests/app/mle_screenshot" \
    "$here/tests/cli/data/mle_fleet.fdt" "$here/examples/sample.fdt" "$out/$geom" &
  app=$!
  # The bounds window appears under its own caption.
  DISPLAY=":$d" timeout 300 xdotool search --sync --onlyvisible --name 'доверительные границы' >/dev/null || true
  wait "$app"
  kill "${pids[@]}" 2>/dev/null || true; pids=()
  sleep 1
done
ls -1 "$out"/*/*.png
