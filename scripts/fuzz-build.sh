#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Configures build-fuzz for the libFuzzer targets (clang, AddressSanitizer, the project's
# libraries instrumented for coverage too) and builds the targets named on the command line.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,fuzzer-no-link -fno-omit-frame-pointer" \
  -DQ71X_BUILD_FUZZ=ON -DQ71X_BUILD_APP=OFF -DQ71X_BUILD_TESTS=OFF
cmake --build build-fuzz -j2 --target "$@"
