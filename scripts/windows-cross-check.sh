#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Cross-compiles the device, image and update layers, the Windows backend, the native window's
# executables, the command-line program and the unit tests for 64-bit Windows with mingw-w64, runs
# the tests under wine over the simulator, runs the command-line program under wine with file names
# in Greek and CJK letters (every verb), checks the simulator executable's window under wine on a
# virtual display (also at 144 and 192 DPI), and packs the executables as a zip and an installer
# (version information checked; installed for all users and uninstalled under wine). Each step
# says how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
need=()
for p in g++-mingw-w64-x86-64-posix wine64 googletest xvfb xdotool x11-utils xclip nsis zip groff-base \
  bsdextrautils python3; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${need[@]}"
fi
started=$SECONDS
# Runs a step and says how long it took: the whole CI run has a time budget.
timed() {
  local begun=$SECONDS
  "$@"
  echo "windows-cross-check: $* took $((SECONDS - begun)) s (at $((SECONDS - started)) s)"
}
cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQ71X_BUILD_APP=OFF
timed cmake --build build-mingw -j2
export WINEPREFIX="${WINEPREFIX:-$PWD/build-mingw/wineprefix}" WINEDEBUG=-all
# One wineserver for the whole run, ended afterwards: never a persistent one.
trap '/usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true' EXIT
# Two test programs start under wine at once below: the prefix is made first, or both would try
# to make it and one fails before it runs.
timed /usr/lib/wine/wine64 wineboot --init
/usr/lib/wine/wineserver64 -w
# The window's tests create real windows: they get a virtual display of their own. Two test
# programs at a time: each spends much of its run starting under wine.
timed xvfb-run -a ctest --test-dir build-mingw -j2 --output-on-failure
timed scripts/windows-cli-check.sh
# The window check starts its program on a wineserver of its own display: the one the tests and
# the command line left running is ended first (under load a window it started could wait on it).
/usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
/usr/lib/wine/wineserver64 -w >/dev/null 2>&1 || true
timed scripts/windows-window-check.sh
timed scripts/windows-package.sh
