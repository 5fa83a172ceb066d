#!/usr/bin/env bash
# Screenshot of the main window after loading the bundled sample and a calculation
# (spiral descent and Newton), rendered offscreen. Also writes the other two tabs.
# Usage: scripts/screenshot_main.sh [build-dir] [out.png]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=$(realpath -m "${2:-$here/build/main_window.png}")
cmake --build "$build" --target app_tests >/dev/null
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
QT_QPA_PLATFORM=offscreen OBROTK_SOURCE_DIR="$here" OBROTK_SCREENSHOT="$out" \
  "$build/tests/app/app_tests" screenshot >/dev/null
echo "$out"
