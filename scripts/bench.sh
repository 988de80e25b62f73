#!/usr/bin/env bash
# One command from a fresh build to docs/performance.md and its plots: builds
# the bench preset, runs every benchmark program (each peer in the same run)
# and renders the report.
#   scripts/bench.sh [extra Google Benchmark flags]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh bench
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)"
results=build/bench/results
rm -rf "${results}" && mkdir -p "${results}"
for bench in compare_select floor_mod find matmul; do
  echo "== ${bench}"
  # The VM drifts by tens of percent: each case runs several times, the
  # cases interleaved at random, and the report takes the median. The
  # streaming kernels are compared with the copy kernel case by case, so
  # they get more runs.
  repetitions=3
  [[ "${bench}" == compare_select ]] && repetitions=5
  "./build/bench/bench/zelvan_${bench}_bench" --benchmark_min_time=0.1 \
    --benchmark_repetitions="${repetitions}" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="${results}/${bench}.json" --benchmark_out_format=json "$@"
done
/usr/bin/python3 scripts/perf_report.py "${results}" docs
echo "wrote docs/performance.md and docs/plots/"
