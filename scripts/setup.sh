#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine needs to build, test and run the program,
# then configures and builds it. Safe to run again: installed packages are skipped.
#   scripts/setup.sh [build-dir] [cmake args...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-tools-dev qt6-l10n-tools
  qt6-translations-l10n qt6-svg-dev libgl1-mesa-dev libxkbcommon-dev
  libboost-dev libeigen3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-apps x11-utils imagemagick poppler-utils xdotool openbox
  desktop-file-utils appstream lintian dpkg-dev fakeroot file
  fonts-dejavu-core fonts-liberation
)

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

build=${1:-"$here/build"}
shift || true
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "${launcher[@]}" "$@"
cmake --build "$build" -j"$(nproc)"
