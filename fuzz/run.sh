#!/usr/bin/env bash
# Builds the fuzz targets into build-fuzz/ (clang, libFuzzer, ASan, UBSan),
# replays the committed regressions, then runs each target for FUZZ_SECONDS
# seconds from its seed corpus. New inputs collect in fuzz/corpus-run/, findings
# in build-fuzz/findings/<target>/.
# Usage: fuzz/run.sh [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
BUILD=${FUZZ_BUILD:-build-fuzz}
JOBS=${JOBS:-2}
all=(held_response content_type url set_cookie cookie_header settings emoji_table request)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTOMER_SANITIZE=fuzzer-no-link,address,undefined -DVANTOMER_BUILD_FUZZ=ON \
  -DVANTOMER_BUILD_TESTS=OFF -DVANTOMER_BUILD_HOST=OFF >/dev/null
cmake --build "$BUILD" --target fuzz_targets -j"$JOBS"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cat fuzz/dict/http.dict fuzz/dict/xml.dict >"$BUILD/request.dict"

passed=0
failed=0
for target in "${targets[@]}"; do
  exe="$BUILD/fuzz/fuzz_$target"
  case $target in
    settings | emoji_table) dict=fuzz/dict/xml.dict max_len=16384 ;;
    request) dict=$BUILD/request.dict max_len=16384 ;;
    # Room for a header line past its bound of 16 KiB.
    held_response) dict=fuzz/dict/http.dict max_len=20000 ;;
    *) dict=fuzz/dict/http.dict max_len=4096 ;;
  esac
  findings="$BUILD/findings/$target"
  log="$BUILD/findings/$target.log"
  mkdir -p "$findings" "fuzz/corpus-run/$target"

  # Inputs that once failed must keep passing.
  regressions=()
  if [ -d "fuzz/regressions/$target" ]; then
    while IFS= read -r -d '' f; do regressions+=("$f"); done \
      < <(find "fuzz/regressions/$target" -type f -print0)
  fi
  if [ ${#regressions[@]} -gt 0 ] && ! "$exe" "${regressions[@]}" >"$log" 2>&1; then
    echo "fuzz: $target: a committed regression fails again"
    tail -n 40 "$log"
    failed=$((failed + 1))
    continue
  fi

  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds+=("fuzz/corpus/$target")
  if "$exe" "fuzz/corpus-run/$target" "${seeds[@]}" -max_total_time="$FUZZ_SECONDS" \
    -dict="$dict" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" -print_final_stats=1 >>"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
    echo "fuzz: $target: ${runs:-?} inputs in ${FUZZ_SECONDS}s, $cov, no finding"
    passed=$((passed + 1))
  else
    echo "fuzz: $target: FINDING (log $log)"
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -n 20 || true
    echo "fuzz: reproduce with $exe <the input written above>; keep it under fuzz/regressions/$target/"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
