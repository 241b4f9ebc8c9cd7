#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the tool over simulated enclosures, the command line and the sample-image generator,
# and starts the window. Without a display it builds them all the same and says what to do.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
# A build folder of its own making leaves the tests out (their packages are scripts/test.sh's);
# one that scripts/test.sh made keeps them.
tests=()
[ -f build/CMakeCache.txt ] || tests=(-DQ71X_BUILD_TESTS=OFF)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}"
cmake --build build -j2 --target q71xfwtool-sim q71xfw q71x-mkimage
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'TEXT'
run-sim.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open.
  - From a desktop session, run scripts/run-sim.sh in its terminal (or ssh -X to this machine).
  - On a headless machine, on a virtual display:   xvfb-run -a scripts/run-sim.sh
    (apt-get install xvfb xauth; nothing shows, but the window runs).
  - Or try the simulated enclosures without a window, through the command line:
      build/src/app/cli/q71xfw --sim list
      build/src/app/cli/q71xfw --sim info 0
TEXT
  exit 2
fi
exec build/src/app/q71xfwtool-sim "$@"
