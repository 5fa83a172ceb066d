#!/usr/bin/env bash
# Prints R survreg's fit of the first-failure cohort fixture (tests/cohort/data/), the
# reference of tests/cohort/fit_test.cpp. Installs R and the survival package from the
# Debian archive on first use (needs root or sudo); the test suite does not need R.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
packages=(r-base-core r-cran-survival)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
Rscript --vanilla "$here/scripts/cohort_survreg_reference.R" "$here/tests/cohort/data/first_failures.csv"
