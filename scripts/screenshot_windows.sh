#!/usr/bin/env bash
# The program's real windows on an X display with a window manager (Xvfb and openbox),
# driven with the mouse and the keyboard as a user drives them, at 1280x1024 and at
# 1366x768. For each screen it takes: the main window with a long data-file comment and a
# long warranty-file comment, the same maximised; the results window as it opens and
# maximised; the enlarged chart; the nonparametric window as it opens and maximised; and
# the results window of a file of 10000 failures over a long warranty, as it opens and
# maximised; and the genetic optimiser's tab.
#   scripts/screenshot_windows.sh [build-dir] [out-dir]
# The X displays are :65 (1280x1024) and :66 (1366x768); SCREENS="65:1280x1024 ..." to change.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=$(realpath -m "${2:-$build/screenshots/windows}")
screens=${SCREENS:-"65:1280x1024 66:1366x768"}
cmake --build "$build" --target obrotk bench_large | tail -n 1
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# ---- the files a user would open
cp "$here/examples/sample.fdt" "$work/sample.fdt"
long_comment='Изделие К-120 второй модернизации, гарантийная эксплуатация 2018-2019 гг. в северных районах, данные сервисных центров Урала и Сибири'
{ printf '%s\r\n' "$long_comment" | iconv -f UTF-8 -t WINDOWS-1251; tail -n +2 "$work/sample.fdt"; } > "$work/long.fdt"
{ printf '%s\r\n' "Сроки окончания гарантии: $long_comment" | iconv -f UTF-8 -t WINDOWS-1251
  tail -n +2 "$here/examples/gar_sample.txt"; } > "$work/gar_long.txt"
# 10000 failures over a long warranty (times and warranty figures stretched eightfold):
# the most histogram intervals, ending at times of five digits.
"$build/bench/bench_large" gen 10000 "$work/gen.fdt" >/dev/null
LC_ALL=C awk 'BEGIN { FS = OFS = "\t" }
  NR == 2 || NR == 3 { $0 = ($0 + 0) * 8 "\r" }
  NR == 6 { causes = $0 + 0 }
  NR > 6 + causes && NF >= 2 { sub(",", ".", $1); $1 = ($1 + 0) * 8 }
  { print }' "$work/gen.fdt" > "$work/big.fdt"

# ---- driving helpers (positions are in the window's client area)
source "$here/scripts/xdrive.sh"
settle() { sleep "${1:-1.5}"; }
maximise() { # double click on the title bar, as openbox offers
  local ox oy w h; read -r ox oy < <(origin "$1"); read -r w h < <(size "$1")
  xdotool mousemove $((ox + w / 2)) $((oy - 8)) click --repeat 2 --delay 120 1
  settle
}
close_active() { xdotool key alt+F4; settle 1; }
open_file() { # the file dialog: type the path into its name box
  wid '^Открыть' >/dev/null
  settle 1
  xdotool key ctrl+a
  xdotool type --delay 3 "$1"
  xdotool key Return
  while xdotool search --onlyvisible --name '^Открыть' >/dev/null 2>&1; do sleep 0.3; done
  settle
}

for screen in $screens; do
  disp=:${screen%%:*}
  geom=${screen#*:}
  tag=$geom
  start_screen "$disp" "$geom"
  # The user's locale as the machine has it: Russian locales are not generated here, and
  # a missing one would leave the window titles without their Cyrillic letters.
  (cd "$work" && exec "$build/app/obrotk") >"$work/app.log" 2>&1 &
  app=$!
  pids+=($app)
  shot() { import -window root "$out/${tag}_$1.png"; echo "$out/${tag}_$1.png"; }

  main=$(wid '^Анализ надежности в эксплуатации')
  settle
  # A data file with a long comment, and a warranty file with a long comment.
  click "$main" 371 67            # «Путь»
  open_file "$work/long.fdt"
  click "$main" 35 528            # «File» of the warranty panel
  open_file "$work/gar_long.txt"
  shot main_long_comments
  maximise "$main"
  shot main_maximised
  maximise "$main"                # back to the design size
  # The genetic optimiser's tab: «Вывод в файл» whole above the warranty panel.
  click "$main" 148 71
  settle 1
  shot tab2
  click "$main" 148 44            # first tab
  settle 1

  # «Расчет»: the results window, then the same maximised.
  click "$main" 229 444
  results=$(wid '^Количественный анализ')
  settle 2
  shot results_open
  maximise "$results"
  shot results_maximised
  click "$results" 33 387         # «Expand»
  wid '^Поток отказов' >/dev/null
  settle 2
  shot expand
  close_active
  maximise "$results"
  click "$results" $(( $(size "$results" | cut -d' ' -f1) - 58 )) 60   # «Продолж.»
  settle 1

  # The nonparametric analysis on the third tab.
  click "$main" 88 98
  click "$main" 160 166
  form3=$(wid '^Результат непараметрического анализа')
  settle 2
  shot nonparam_open
  maximise "$form3"
  shot nonparam_maximised
  close_active

  # A file of 10000 failures: the results window's time labels.
  click "$main" 148 44            # first tab
  click "$main" 371 67
  open_file "$work/big.fdt"
  click "$main" 229 444
  results=$(wid '^Количественный анализ')
  settle 4
  shot big_results_open
  maximise "$results"
  shot big_results_maximised

  kill "$app" 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  pids=()
  settle 1
done
