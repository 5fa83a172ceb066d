#!/usr/bin/env bash
# Renders the results window and the enlarged chart, filled from the bundled sample, to
# PNG files (offscreen), with a decimal point and with a decimal comma, and a simulated
# fleet with the most histogram intervals.
#   scripts/screenshot_results.sh [build-dir] [out-dir] [data-file]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
out=${2:-"$build/screenshots"}
data=${3:-"$here/examples/sample.fdt"}
cmake --build "$build" --target results_screenshot | tail -n 3
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
"$build/tests/results/results_screenshot" "$data" "$out"
"$build/tests/results/results_screenshot" "$data" "$out" --comma --genetic
# the most histogram intervals (31): axis labels must stay readable
"$build/tests/results/results_screenshot" --long "$out"
ls -1 "$out"/form2*.png "$out"/expand*.png
