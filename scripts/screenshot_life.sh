#!/usr/bin/env bash
# The life-data window on a real X display with a window manager (Xvfb and openbox), driven
# as a user drives it: tab «4. Данные с приостановками», its button, «Открыть файл...» with a
# data set of the tests, «Расчет». One screenshot per data set and screen size.
#   scripts/screenshot_life.sh [build-dir] [out-dir]
# The X displays are :67 (1280x1024) and :68 (1366x768); SCREENS="67:1280x1024 ..." to change.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=$(realpath -m "${2:-$build/screenshots/life}")
screens=${SCREENS:-"67:1280x1024 68:1366x768"}
sets=${SETS:-"issue heavy intervals"}
cmake --build "$build" --target obrotk | tail -n 1
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cp "$here"/tests/life/data/*.csv "$work/"

source "$here/scripts/xdrive.sh"

# A widget's centre in client coordinates is found by its place in the layout, which the
# window keeps at every screen size: the buttons are on the left pane's top and bottom rows.
for screen in $screens; do
  disp=:${screen%%:*}
  geom=${screen#*:}
  start_screen "$disp" "$geom"
  (cd "$work" && exec "$build/app/obrotk") >"$work/app.log" 2>&1 &
  app=$!
  main=$(wid '^Анализ надежности')
  sleep 1
  click "$main" 95 132   # tab 4
  sleep 0.5
  click "$main" 170 190  # «Анализ данных с приостановками»
  life=$(wid '^Данные с приостановками')
  sleep 1
  read -r _ h < <(size "$life")
  for set in $sets; do
    click "$life" 90 16  # «Открыть файл...»
    wid '^Файл данных с приостановками' >/dev/null
    sleep 1
    xdotool key ctrl+a
    xdotool type --delay 3 "$work/$set.csv"
    xdotool key Return
    sleep 1.5
    click "$life" 150 $((h - 22))  # «Расчет»
    sleep 2.5
    import -window root "$out/life-$set-$geom.png"
  done
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
done
echo "screenshots in $out"
