#!/usr/bin/env bash
# The life-data window during a long fit on a real X display with a window manager (Xvfb
# and openbox): maximised, a three-parameter Weibull fit of 20000 rows with a hundred
# B-lives running on its worker, the progress bar and «Стоп» shown.
#   scripts/screenshot_life_running.sh [build-dir] [out-dir]
# The X display is :93 at 1366x768; SCREEN="93:1366x768" to change.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=$(realpath -m "${2:-$build/screenshots/life}")
screen=${SCREEN:-"93:1366x768"}
cmake --build "$build" --target lifeform_shot | tail -n 1
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
awk 'BEGIN { print "Наработка;Состояние;Кол-во";
             for (i = 0; i < 20000; i++) { u = (i * 0.618034) % 1;
               printf "%.3f;%s;1\n", 100 + 900 * u ^ 0.7, (i % 3 ? "F" : "S") } }' >"$work/long.csv"

source "$here/scripts/xdrive.sh"
disp=:${screen%%:*}
geom=${screen#*:}
start_screen "$disp" "$geom"
"$build/tests/life/lifeform_shot" --running "$work/long.csv" >"$work/shot.log" 2>&1 &
shot=$!
pids+=($shot)
wid '^Данные с приостановками' >/dev/null
sleep 3
import -window root "$out/life-running-$geom.png"
kill "$shot" 2>/dev/null || true
echo "screenshot in $out/life-running-$geom.png"
