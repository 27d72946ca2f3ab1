#!/usr/bin/env bash
# Builds and runs the test suite under the sanitizers, each build in its own
# directory (Debug, no example):
#   asan: the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer
#         (build-asan);
#   tsan: the whole suite under ThreadSanitizer (build-tsan), with
#         scripts/tsan.supp for the distribution's oneTBB: the tests
#         labelled "concurrency" and every conversion that runs tasks.
# Usage: scripts/test-sanitizers.sh [asan|tsan]...   (both when none given)
# Extra ctest arguments go in VORNA_CTEST_ARGS, e.g. "-L concurrency" to run
# only the concurrency tests.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"

build() {
  local dir="$1"
  shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DVORNA_BUILD_EXAMPLES=OFF "$@"
  cmake --build "$dir" -j "$jobs"
}

run_asan() {
  local dir="${VORNA_ASAN_BUILD_DIR:-$root/build-asan}"
  build "$dir" -DVORNA_SANITIZE=ON
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" \
    ${VORNA_CTEST_ARGS:-}
}

run_tsan() {
  local dir="${VORNA_TSAN_BUILD_DIR:-$root/build-tsan}"
  build "$dir" -DVORNA_TSAN=ON
  TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp:halt_on_error=1" \
    ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" \
    ${VORNA_CTEST_ARGS:-}
}

"$root/scripts/setup.sh"
if [ $# -eq 0 ]; then
  set -- asan tsan
fi
for sanitizer in "$@"; do
  case "$sanitizer" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    *)
      echo "unknown sanitizer '$sanitizer' (asan or tsan)" >&2
      exit 2
      ;;
  esac
done
