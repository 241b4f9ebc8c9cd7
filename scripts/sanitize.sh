#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan
# and runs it under CTest: any invalid access, leak or undefined operation fails the run, the
# bounded fault campaign included. Without the window (its tests need the Qt build of test.sh).
#   SANITIZE_CXX   compiler to use (default clang++: it builds this tree in two thirds of g++'s
#                  time; g++ works too)
#   CTEST_JOBS     parallel test processes (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh tests fuzz

build=build-asan
# -O1 with line tables only: a quicker build on two cores, and stack traces that still name the
# source lines.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -g1" \
  -DCMAKE_CXX_COMPILER="${SANITIZE_CXX:-clang++}" \
  -DQ71X_SANITIZE=ON -DQ71X_BUILD_APP=OFF -DQ71X_BUILD_TESTS=ON
cmake --build "$build" -j2

# Every report stops the test that caused it; leaks are reported at each test process's exit.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The bounded campaign samples fewer command indices here: every run costs many times more under
# the sanitizers, and the long traces (busy waits, host-driven programming) dominate.
export Q71X_CAMPAIGN_BUDGET="${Q71X_CAMPAIGN_BUDGET:-100000}"
# The three parallel flash parts go through the same buffers and reply checks of one procedure,
# and their update and erase cases are the campaign's longest (about a minute each here): under
# the sanitizers the Atmel part's stand for all three. The test build runs every case.
skip='FaultCampaign\..*/qv40712_(sst|a1_pmc)_(update|erase_only) '
ctest --test-dir "$build" --output-on-failure -j"${CTEST_JOBS:-2}" -E "$skip"
echo "sanitize: every test passed under ASan and UBSan"
