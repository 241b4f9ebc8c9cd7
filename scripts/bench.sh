#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the benchmarks (Release, in build-bench) and runs them, the modeled-time report and the
# window start-up several times, printing median and spread. Figures and raw output are kept in
# build-bench/bench-results. Timings move with whatever else the machine is doing: the load
# average is printed before and after each part, so run it when the machine is quiet.
#   BENCH_RUNS   how many times each measurement is repeated (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh tests bench

build=build-bench
runs=${BENCH_RUNS:-5}
results="$build/bench-results"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQ71X_BUILD_BENCH=ON \
  -DQ71X_BUILD_APP=ON -DQ71X_BUILD_GADGET=OFF >/dev/null
cmake --build "$build" -j2 --target q71x_bench q71x-modeled-time-report q71x-window-startup \
  q71x-cli-bench
rm -rf "$results"
mkdir -p "$results"

load() { echo "load average $1: $(cut -d' ' -f1-3 /proc/loadavg)"; }

# Median and spread (min-max) of the numbers on standard input, one per line.
median_spread() {
  sort -n | awk '{ v[NR] = $1 }
    END {
      if (NR == 0) { print "no figures"; exit }
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "median %.1f ms (min %.1f, max %.1f, %d runs)\n", m, v[1], v[NR], NR
    }'
}

echo "== benchmarks: host cost, latency model off ($runs repetitions; median, stddev, cv) =="
load before
"$build/bench/q71x_bench" --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true \
  --benchmark_out="$results/benchmarks.json" --benchmark_out_format=json \
  | tee "$results/benchmarks.txt"
load after

echo
echo "== modeled-time report: latency model on (host CPU median of $runs runs inside) =="
"$build/bench/q71x-modeled-time-report" --repeat "$runs" | tee "$results/report.txt"

echo
echo "== window start-up with 16 simulated enclosures (one cold start per process) =="
load before
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
for i in $(seq "$runs"); do
  "$build/bench/q71x-window-startup" --warm 5 >"$results/window-$i.txt" 2>/dev/null
done
load after
printf 'cold start-up to the first paint: '
grep -h "^cold start-up" "$results"/window-*.txt |
  sed 's/.*first paint \([0-9.]*\) ms.*/\1/' | median_spread
printf 'warm start-up to the first paint (medians of each run): '
grep -h "^warm start-up" "$results"/window-*.txt |
  sed 's/.*median \([0-9.]*\) ms.*/\1/' | median_spread
echo "first run in full:"
cat "$results/window-1.txt"

echo
echo "== q71xfw: list --json wall time (16 simulated enclosures), progress display's host CPU =="
load before
"$build/bench/q71x-cli-bench" --repeat "$((runs * 3))" | tee "$results/cli.txt"
load after
