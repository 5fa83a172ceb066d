#!/usr/bin/env bash
# Sets up the machine (packages), builds everything and runs the whole test suite twice:
# a normal build, then a build with AddressSanitizer and UndefinedBehaviorSanitizer; then
# the genetic run's thread tests under ThreadSanitizer (scripts/tsan.sh) and a short fuzzing
# run of both file readers (scripts/fuzz.sh).
#   OBROTK_SKIP_SANITIZERS=1 scripts/test.sh   runs the normal suite only
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$here/scripts/setup.sh" "$here/build"
echo "== tests (normal build)"
(cd "$here/build" && ctest --output-on-failure -j"$jobs" --timeout 900)

if [ -z "${OBROTK_SKIP_SANITIZERS:-}" ]; then
  echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer)"
  BUILD_TYPE=Debug "$here/scripts/setup.sh" "$here/build-asan" -DOBROTK_SANITIZE=ON >/dev/null
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions="$here/scripts/lsan.supp":print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # The bound property test covers its 200 fleets in the normal build; the instrumented
  # build runs a share of them, for the memory and undefined-behaviour checks.
  export OBROTK_MLE_FLEETS=${OBROTK_MLE_FLEETS:-40}
  (cd "$here/build-asan" && ctest --output-on-failure -j"$jobs" --timeout 1800 -E '^bench')
  echo "== genetic run threads (ThreadSanitizer)"
  "$here/scripts/tsan.sh" "$here/build-tsan"
  echo "== fuzzing the two readers (${OBROTK_FUZZ_SECONDS:-30} s each)"
  "$here/scripts/fuzz.sh" "${OBROTK_FUZZ_SECONDS:-30}"
fi
