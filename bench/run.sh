#!/usr/bin/env bash
# Builds the benchmarks into build-bench/ (Release) and runs them; extra
# arguments go to the conversion benchmark (e.g. --benchmark_filter=100k).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BENCH_BUILD:-build-bench}
JOBS=${JOBS:-2}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVANTOMER_BUILD_BENCH=ON \
  -DVANTOMER_BUILD_TESTS=OFF -DVANTOMER_BUILD_HOST=OFF >/dev/null
cmake --build "$BUILD" --target vantomer_bench -j"$JOBS"
"$BUILD/bench/vantomer_bench" "$@"
# The filter's cost to a page it passes through, as the nginx module drives it.
if cmake --build "$BUILD" --target vantomer_passthrough_bench -j"$JOBS" >/dev/null 2>&1; then
  "$BUILD/bench/vantomer_passthrough_bench"
fi
