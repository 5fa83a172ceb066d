#!/usr/bin/env bash
# Builds the tests of the program's own threads with ThreadSanitizer and runs them (the
# genetic run on a std::thread, its evaluation helpers, the window's requests from another
# thread, the calculation stopped from another thread, the Smirnov fit's helpers). Tests
# of the Qt worker thread are left out: the Qt libraries of the distribution are not
# instrumented, so their locks are invisible.
#   scripts/tsan.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build-tsan"}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOBROTK_TSAN=ON \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target genetic_tests calc_tests fit_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
"$build/tests/genetic/genetic_tests" \
  --gtest_filter='GeneticRunThreads.*:GeneticParallel.*:GeneticRun.FixedSeeds*:GeneticRun.Stop*'
# The calculation on worker threads, stopped from another thread or reading the failure
# records they share with the window's state, and the Smirnov fit's evaluation threads
# (the team that shares out its evaluations).
"$build/tests/calc/calc_tests" --gtest_filter='Driver.Stops*:Driver.Twenty*:Driver.Shares*'
"$build/tests/fit/fit_tests" --gtest_filter='Fits.SmirnovOnSeveralThreads*:EvalTeam.*:SharedEvaluation.*'
echo "ThreadSanitizer: no race reported"
