#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds everything and runs the whole test suite.
#   Q71X_BUILD_TYPE  CMake build type of build/ (default RelWithDebInfo; CI takes Release, the same
#                    -O2 without debug information: a third less build time on two cores)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh tests
# The rooms' include rules first: a few seconds, and an offence names its file and line.
scripts/check-includes.py
# Tests on, also in a build folder scripts/run-sim.sh made without them.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${Q71X_BUILD_TYPE:-RelWithDebInfo}" \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQ71X_BUILD_APP=ON -DQ71X_BUILD_TESTS=ON
cmake --build build -j2
export QT_QPA_PLATFORM=offscreen
# CI runs the virtual machine as a stage of its own (.ci/run): its CTest entry is left out there.
ctest --test-dir build --output-on-failure -j2 ${CI:+-LE vm}
