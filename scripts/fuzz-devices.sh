#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the device-reply fuzz target with clang (libFuzzer and AddressSanitizer, the libraries
# instrumented too) in build-fuzz and runs it for a bounded time: identification, the chip
# check's flash probing and one update procedure against a bridge whose every reply comes from
# the fuzzer's bytes. Fails when the build fails or the target finds a crash, a leak, a
# sanitizer report or a run that does not end.
#   FUZZ_SECONDS   how long the target runs (default 55)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build fuzz

build=build-fuzz
seconds=${FUZZ_SECONDS:-55}

scripts/fuzz-build.sh device_reply_fuzzer

# Seeds: every procedure with every action (first byte) and tick pattern (second byte) over a
# bridge that answers everything with zeros, and over one that answers reads with 0xFF. The run's
# corpus starts empty so that every run is bounded the same way.
seeds="$build/device-fuzz-seeds"
corpus="$build/device-fuzz-corpus"
artifacts="$build/device-fuzz-artifacts"
rm -rf "$seeds" "$corpus"
mkdir -p "$seeds" "$corpus" "$artifacts"
for run in $(seq 0 20); do
  for ticks in 0 1 2; do
    printf "\\x$(printf %02x "$run")\\x$(printf %02x "$ticks")" >"$seeds/run$run-ticks$ticks-zeros"
    printf "\\x$(printf %02x "$run")\\x$(printf %02x "$ticks")\\x10" >"$seeds/run$run-ticks$ticks-erased"
  done
done

# libFuzzer exits non-zero on a crash, a leak, a sanitizer report or a unit that runs past
# -timeout; the outer timeout only guards against a hang of the harness itself. The procedures'
# standard-output lines are closed off (-close_fd_mask=1).
timeout --kill-after=10 $((seconds + 60)) \
  "$build/fuzz/device_reply_fuzzer" -max_total_time="$seconds" -max_len=4096 \
  -rss_limit_mb=2048 -timeout=20 -close_fd_mask=1 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$corpus" "$seeds"
echo "fuzz devices: device_reply_fuzzer ran ${seconds}s without a crash"
