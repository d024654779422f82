#!/usr/bin/env bash
# Instructions of one conversion, one bare libxml2 parse and one XSLT run,
# counted by callgrind: unlike times, the counts do not move when other work
# shares the machine. Builds build-bench/ like run.sh; needs valgrind.
#   PAGES ("2k 10k 100k")  FAMILIES ("imode ezweb jsky pc")
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BENCH_BUILD:-build-bench}
JOBS=${JOBS:-2}
pages=${PAGES:-2k 10k 100k}
families=${FAMILIES:-imode ezweb jsky pc}
command -v valgrind >/dev/null || { echo "count: valgrind is missing" >&2; exit 1; }
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVANTOMER_BUILD_BENCH=ON \
  -DVANTOMER_BUILD_TESTS=OFF -DVANTOMER_BUILD_HOST=OFF >/dev/null
cmake --build "$BUILD" --target vantomer_bench -j"$JOBS" >/dev/null

out=$(mktemp /tmp/vantomer-count.XXXXXX)
trap 'rm -f "$out"' EXIT

# count BENCHMARK FUNCTION: instructions inside FUNCTION for one iteration.
count() {
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="$2" \
    "$BUILD/bench/vantomer_bench" --benchmark_filter="^$1\$" --benchmark_repetitions=1 \
    --benchmark_min_time=0.000001 >/dev/null 2>&1
  awk '/^summary:/ {print $2}' "$out"
}

printf '%-6s %-10s %12s %12s %12s %10s %10s\n' page profile convert libxml2 xslt conv/xml2 xslt/conv
for page in $pages; do
  floor=$(count "libxml2/$page" '*BM_Libxml2*')
  xslt=$(count "xslt-imode/$page" '*BM_Xslt*')
  for family in $families imode+key; do
    if [[ $family == imode+key ]]; then
      name="convert-with-key/$page/imode"
    else
      name="convert/$page/$family"
    fi
    conv=$(count "$name" '*BM_Convert*')
    peer=""
    ratio=""
    if [[ $family == imode ]]; then
      peer=$xslt
      ratio=$(awk -v a="$xslt" -v b="$conv" 'BEGIN {printf "%.2f", a / b}')
    fi
    printf '%-6s %-10s %12s %12s %12s %10s %10s\n' "$page" "$family" "$conv" "$floor" "$peer" \
      "$(awk -v a="$conv" -v b="$floor" 'BEGIN {printf "%.2f", a / b}')" "$ratio"
  done
done
echo "Instructions per page; targets: conv/xml2 at most 1.5, xslt/conv at least 3."
