#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan
# and runs it under CTest: any invalid access, leak or undefined operation fails the run, the
# bounded fault campaign included. Without the window (its tests need the Qt build of test.sh).
#   SANITIZE_CXX   compiler to use (default g++; clang++ works too)
#   CTEST_JOBS     parallel test processes (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build-asan
# -O1 with line tables only: a quicker build on two cores, and stack traces that still name the
# source lines.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -g1" \
  -DCMAKE_CXX_COMPILER="${SANITIZE_CXX:-g++}" \
  -DQ71X_SANITIZE=ON -DQ71X_BUILD_APP=OFF -DQ71X_BUILD_TESTS=ON
cmake --build "$build" -j2

# Every report stops the test that caused it; leaks are reported at each test process's exit.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The bounded campaign samples fewer command indices here: every run costs many times more under
# the sanitizers, and the long traces (busy waits, host-driven programming) dominate.
export Q71X_CAMPAIGN_BUDGET="${Q71X_CAMPAIGN_BUDGET:-300000}"
ctest --test-dir "$build" --output-on-failure -j"${CTEST_JOBS:-2}"
echo "sanitize: every test passed under ASan and UBSan"
