#!/usr/bin/env bash
# One command from a fresh build to docs/performance.md and its plots: builds
# the bench preset, runs every benchmark program (each peer in the same run)
# and renders the report.
#   scripts/bench.sh [extra Google Benchmark flags]
#   scripts/bench.sh --smoke   the smallest case of every benchmark, once,
#                              rendered into build/bench/smoke; docs/ untouched
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=0
if [[ "${1:-}" == --smoke ]]; then
  smoke=1
  shift
fi

bash scripts/install-deps.sh bench
cmake --preset bench >/dev/null
programs=(compare_select floor_mod find matmul)
cmake --build --preset bench -j "$(nproc)" --target $(printf 'zelvan_%s_bench ' "${programs[@]}")

results=build/bench/results
docs=docs
# Console tables on fd 3: shown for a full run, dropped for the smoke run.
exec 3>&1
if [[ ${smoke} == 1 ]]; then
  results=build/bench/smoke/results
  docs=build/bench/smoke
  exec 3>/dev/null
fi
rm -rf "${results}" && mkdir -p "${results}"
for bench in "${programs[@]}"; do
  echo "== ${bench}"
  if [[ ${smoke} == 1 ]]; then
    # Small sizes and the small table only: this checks that every program
    # runs on this CPU and that the report renders, not how fast it is.
    case "${bench}" in
      compare_select) filter='/1024$' ;;
      floor_mod) filter='/4096$' ;;
      find) filter='/(1|16)/10/|HandOff' ;;
      matmul) filter='/64/64/64(/|$)' ;;
    esac
    run=(--benchmark_filter="${filter}" --benchmark_min_time=0.001)
  else
    # The VM drifts by tens of percent: each case runs several times, the
    # cases interleaved at random, and the report takes the median. The
    # streaming kernels are compared with the copy kernel case by case, and
    # Find's small batches and thread hand-offs swing the most, so they get
    # more runs.
    repetitions=3
    [[ "${bench}" == compare_select || "${bench}" == find ]] && repetitions=5
    run=(--benchmark_min_time=0.1 --benchmark_repetitions="${repetitions}"
         --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true)
  fi
  "./build/bench/bench/zelvan_${bench}_bench" "${run[@]}" \
    --benchmark_out="${results}/${bench}.json" --benchmark_out_format=json "$@" >&3
done
/usr/bin/python3 scripts/perf_report.py "${results}" "${docs}"
echo "wrote ${docs}/performance.md and ${docs}/plots/"
