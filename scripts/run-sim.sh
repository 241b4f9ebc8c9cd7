#!/usr/bin/env bash
# Builds the tool and the sample-image generator, and starts the tool over simulated enclosures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
# The tests are not needed to try the tool (scripts/test.sh turns them on again).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ71X_BUILD_TESTS=OFF
cmake --build build -j2 --target q71xfwtool-sim q71x-mkimage
exec build/src/app/q71xfwtool-sim "$@"
