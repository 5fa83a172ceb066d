#!/usr/bin/env bash
# Builds the genetic run's tests with ThreadSanitizer and runs the ones whose threads are
# the program's own (the run on a std::thread, its evaluation helpers, the window's
# requests from another thread). Tests of the Qt worker thread are left out: the Qt
# libraries of the distribution are not instrumented, so their locks are invisible.
#   scripts/tsan.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build-tsan"}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOBROTK_TSAN=ON \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target genetic_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
"$build/tests/genetic/genetic_tests" \
  --gtest_filter='GeneticRunThreads.*:GeneticParallel.*:GeneticRun.FixedSeeds*:GeneticRun.Stop*'
echo "ThreadSanitizer: no race reported"
