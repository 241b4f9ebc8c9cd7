#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Starts q71xfwtool-sim under Xvfb and saves screenshots of its window in normal mode and with
# "RD Version" ticked, to look at by eye: nothing clipped, overlapping or missing. Where the cross
# build has the native Windows window (WIN_BUILD_DIR, default build-mingw), it is shot the same
# way under wine.
#
#   scripts/screenshots.sh [OUTPUT_DIR]     (default: screenshots/; BUILD_DIR picks the build)
set -euo pipefail
cd "$(dirname "$0")/.."

out="${1:-screenshots}"
build="${BUILD_DIR:-build}"
tool="$build/src/app/q71xfwtool-sim"
caption=" QV4071x FW Update Utility v1.16.00"

for program in Xvfb xwininfo import; do
  command -v "$program" >/dev/null || { echo "screenshots.sh: $program is missing" >&2; exit 1; }
done
if [ ! -x "$tool" ]; then
  cmake -S . -B "$build" -G Ninja -DQ71X_BUILD_APP=ON >/dev/null
  cmake --build "$build" -j2 --target q71xfwtool-sim
fi
mkdir -p "$out"

state="$(mktemp -d)"
display=":$((200 + RANDOM % 500))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$state"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  DISPLAY="$display" xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

# Starts the program given by the further arguments, waits for the tool's window and saves it as
# $out/$1.png.
shoot() {
  local name="$1"
  shift
  DISPLAY="$display" QT_QPA_PLATFORM=xcb "$@" >/dev/null 2>&1 &
  app=$!
  local id=""
  for _ in $(seq 1 100); do
    id="$(DISPLAY="$display" xwininfo -root -tree 2>/dev/null |
      awk -v c="\"$caption\"" 'index($0, c) { print $1; exit }' || true)"
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "screenshots.sh: the window did not appear" >&2; exit 1; }
  sleep 1  # let it paint
  import -display "$display" -window "$id" "$out/$name.png"
  kill "$app"
  wait "$app" 2>/dev/null || true
  app=""
  echo "$out/$name.png"
}

shoot window-normal "$tool" --state "$state"
shoot window-rd-version "$tool" --state "$state" --rd-version

wintool="${WIN_BUILD_DIR:-build-mingw}/src/app/win32/q71xfwtool-sim.exe"
wine=/usr/lib/wine/wine64
if [ -f "$wintool" ] && [ -x "$wine" ]; then
  export WINEPREFIX="${WINEPREFIX:-$PWD/${WIN_BUILD_DIR:-build-mingw}/wineprefix}" WINEDEBUG=-all
  winstate="Z:${state//\//\\}"
  shoot windows-normal "$wine" "$wintool" --state "$winstate"
  shoot windows-rd-version "$wine" "$wintool" --state "$winstate" --rd-version
fi
