#!/usr/bin/env bash
# Builds the benchmarks (Release, build/bench) and prints each benchmark's median time per
# call with the ratios against the peers measured in the same run.
#   scripts/bench.sh [extra Google Benchmark flags]    e.g. --benchmark_filter=price
# BENCH_REPETITIONS (default 9) and BENCH_MIN_TIME (seconds per repetition, default 0.1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench

cmake -S "$root" -B "$build" -DZK_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target zk_bench -j2 >/dev/null

"$build/bench/zk_bench" \
  --benchmark_repetitions="${BENCH_REPETITIONS:-9}" \
  --benchmark_min_time="${BENCH_MIN_TIME:-0.1}" \
  --benchmark_report_aggregates_only=true \
  --benchmark_out="$build/results.json" --benchmark_out_format=json \
  "$@" >"$build/console.txt"
python3 "$root/bench/report.py" "$build/results.json"
dll=$root/build/windows/bin/zelvankor.dll
if [ -f "$dll" ]; then
  echo "zelvankor.dll: $(stat -c %s "$dll") bytes ($dll)"
else
  echo "zelvankor.dll: not built (scripts/build.sh) - no size to report"
fi
