#!/usr/bin/env bash
# Prints the reference figures of R's survival package (survreg and profile likelihoods)
# for the life-data fixtures in tests/life/data/. Installs R and the survival package
# from the Debian archive on first use (idempotent, needs root or sudo). The test suite
# does not need R: the figures printed here are written into tests/life/test_survreg.cpp.
#   scripts/survreg_reference.sh [--regenerate-large]
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

regen=0
[ "${1:-}" = "--regenerate-large" ] && regen=1
Rscript --vanilla "$here/scripts/survreg_reference.R" "$here/tests/life/data" "$regen"
