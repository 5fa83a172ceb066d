#!/usr/bin/env bash
# Renders the nonparametric-results window Form3, filled from the bundled sample, to PNG
# files offscreen: one with the Russian locale (comma) and one with the C locale.
#   scripts/form3_screenshot.sh [build-dir] [out-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
out=${2:-"$build/screenshots"}
[ -f "$build/build.ninja" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target form3_shot
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
"$build/tests/nonparam/form3_shot" "$here/examples/sample.fdt" "$out/form3_ru.png" ru
"$build/tests/nonparam/form3_shot" "$here/examples/sample.fdt" "$out/form3_c.png" c
echo "$out/form3_ru.png $out/form3_c.png"
