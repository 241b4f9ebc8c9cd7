#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the trace-reader and journal-reader fuzz targets with clang (libFuzzer and
# AddressSanitizer, the libraries instrumented too) in build-fuzz and runs each for a bounded
# time from seeds the real writers make: chip-check traces the recorder writes over the simulated
# demo machine, and entries the recovery journal records. Fails when the build fails or a target
# finds a crash, a leak, a sanitizer report or a broken promise of the reader (a refusal without
# a reason, an entry or exchange that does not read back, a file the scan loses).
#   FUZZ_SECONDS   how long each target runs (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build fuzz

build=build-fuzz
seconds=${FUZZ_SECONDS:-20}

scripts/fuzz-build.sh trace_reader_fuzzer journal_reader_fuzzer fuzz_seeds

seeds="$build/reader-fuzz-seeds"
rm -rf "$seeds"
"$build/fuzz/fuzz_seeds" "$seeds/trace" "$seeds/journal"

# Each run's corpus starts empty so that every run is bounded the same way. libFuzzer exits
# non-zero on a crash, a leak, a sanitizer report or a unit that runs past -timeout; the outer
# timeout only guards against a hang of the harness itself.
run() {
  local target=$1 seedFolder=$2 maxLen=$3
  local corpus="$build/$target-corpus" artifacts="$build/$target-artifacts"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$artifacts"
  timeout --kill-after=10 $((seconds + 60)) \
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$maxLen" \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$seedFolder"
  echo "fuzz readers: $target ran ${seconds}s without a crash"
}
run trace_reader_fuzzer "$seeds/trace" 65536
run journal_reader_fuzzer "$seeds/journal" 16384
