#!/usr/bin/env bash
# Builds the tool and starts it over simulated enclosures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target q71xfwtool-sim
exec build/src/app/q71xfwtool-sim "$@"
