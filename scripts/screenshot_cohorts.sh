#!/usr/bin/env bash
# The warranty cohorts window on a real X display with a window manager (Xvfb and openbox):
# the main window with its fifth tab opened as a user opens it, then the cohort window with
# the sample table calculated (a warranty of 24 periods, a cost per claim, a backtest), one
# screenshot per page of the window, at each screen size.
#   scripts/screenshot_cohorts.sh [build-dir] [out-dir]
# The X display is :94, one screen size after the other; SCREENS="94:1280x1024 ..." to change.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=$(realpath -m "${2:-$build/screenshots/cohorts}")
screens=${SCREENS:-"94:1280x1024 94:1366x768"}
cmake --build "$build" --target obrotk cohortform_shot | tail -n 1
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

source "$here/scripts/xdrive.sh"

for screen in $screens; do
  disp=:${screen%%:*}
  geom=${screen#*:}
  start_screen "$disp" "$geom"
  # The main window: tab «5. Гарантийные когорты» and its button, as a user clicks them.
  (cd "$work" && exec "$build/app/obrotk") >"$work/app.log" 2>&1 &
  app=$!
  main=$(wid '^Анализ надежности')
  sleep 1
  click "$main" 238 126   # tab 5, beside tab 4 on the last row of tabs
  sleep 0.5
  import -window root "$out/cohorts-tab5-$geom.png"
  click "$main" 160 190   # «Анализ гарантийных когорт»
  wid '^Гарантийные когорты' >/dev/null
  sleep 1.5
  import -window root "$out/cohorts-opened-$geom.png"
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  # The window calculated, page by page.
  OBROTK_LOCALE=${OBROTK_LOCALE:-ru_RU} "$build/tests/cohortui/cohortform_shot" \
    "$here/examples/cohorts_sample.csv" "$out/cohorts-$geom"
  # This screen's X server and window manager end before the next size starts.
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  pids=()
  sleep 0.5
done
echo "screenshots in $out"
