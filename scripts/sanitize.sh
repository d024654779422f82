#!/usr/bin/env bash
# Runs the test suite under AddressSanitizer with UndefinedBehaviorSanitizer
# (build-asan/) and the concurrency tests under ThreadSanitizer (build-tsan/).
# The module is built with the same flags; the tests load it into the
# instrumented executables. Leak detection stays on.
# Usage: scripts/sanitize.sh [asan|tsan]...
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=${JOBS:-2}
modes=("$@")
[ ${#modes[@]} -eq 0 ] && modes=(asan tsan)

# Concurrency tests: every test whose name holds "Concurren" or "ManyThreads".
concurrency_filter='Concurren|ManyThreads'

configure() {
  local dir=$1 sanitize=$2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOMER_SANITIZE="$sanitize" \
    -DVANTOMER_BUILD_BENCH=OFF -DVANTOMER_BUILD_FUZZ=OFF >/dev/null
}

run_asan() {
  echo "sanitize: AddressSanitizer + UndefinedBehaviorSanitizer, whole suite (build-asan)"
  configure build-asan address,undefined
  cmake --build build-asan -j"$JOBS"
  (cd build-asan &&
    ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure --no-tests=error -j"$JOBS")
}

run_tsan() {
  echo "sanitize: ThreadSanitizer, tests matching $concurrency_filter (build-tsan)"
  configure build-tsan thread
  # Only the executables that hold such tests are built.
  local targets=()
  for source in tests/*_test.cpp; do
    grep -Eq "$concurrency_filter" "$source" && targets+=("$(basename "$source" .cpp)")
  done
  if [ ${#targets[@]} -eq 0 ]; then
    echo "sanitize: no test matches $concurrency_filter" >&2
    return 1
  fi
  cmake --build build-tsan -j"$JOBS" --target vantomer_module "${targets[@]}"
  (cd build-tsan &&
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/../scripts/tsan.supp" \
    ctest --output-on-failure --no-tests=error -j"$JOBS" -R "$concurrency_filter")
}

for mode in "${modes[@]}"; do
  case $mode in
    asan) run_asan ;;
    tsan) run_tsan ;;
    *) echo "usage: $0 [asan|tsan]..." >&2; exit 2 ;;
  esac
done
