#!/usr/bin/env bash
# Builds the Debian package of both programs from the normal build tree (CPack, with the
# dependencies found by dpkg-shlibdeps). Configures and builds the tree first if needed.
#   scripts/package.sh [build-dir] [output-dir]
# Prints the path of the package. Install it with: sudo apt install ./obrotk_*.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$here/build}")
out=$(realpath -m "${2:-$build/packages}")

for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "package.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
if [ ! -f "$build/CPackConfig.cmake" ]; then
  "$here/scripts/setup.sh" "$build" >/dev/null
fi
# Only what the package holds, not the tests.
cmake --build "$build" --target obrotk obrotk-cli obrotk_packaging_files -j"$(nproc)" >/dev/null

mkdir -p "$out"
rm -f "$out"/obrotk_*.deb
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  exit 1
}
rm -rf "$out/_CPack_Packages"
ls "$out"/obrotk_*.deb
