#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds.
#   scripts/fuzz.sh [seconds-per-target]   (default 30)
# New crashing inputs are left in build-fuzz/crashes/; add them to tests/fuzz/corpus and
# to the reader tests.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-30}
build="$here/build-fuzz"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOBROTK_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined" \
  $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
cmake --build "$build" --target fuzz_failure_file fuzz_warranty_file -j"$(nproc)"
mkdir -p "$build/crashes" "$build/corpus/fdt" "$build/corpus/gar"
run() {
  local target=$1 seeds=$2 work=$3
  "$build/tests/fuzz/$target" -max_total_time="$secs" -max_len=65536 -timeout=10 \
    -artifact_prefix="$build/crashes/$target-" "$work" "$seeds" 2>&1 | tail -n 3
}
run fuzz_failure_file "$here/tests/fuzz/corpus/fdt" "$build/corpus/fdt"
run fuzz_warranty_file "$here/tests/fuzz/corpus/gar" "$build/corpus/gar"
