#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Checks the Windows build of q71xfwtool-sim from outside, under wine on a virtual X display:
#  - it starts with a fresh state folder; its window has the exact caption and a client area
#    of 347 x 291 (engineering panel hidden);
#  - ticking "RD Version" makes it 347 x 420, unticking brings back 347 x 291;
#  - a click-through: with the first enclosure (a serial-flash bridge) selected, its sample
#    image's path is put into the "Firmware File" field (pasted, as one edit: every typed
#    character would be checked as a file name of its own), Run is clicked, the closing box is
#    answered, and the enclosure's flash file in the state folder must hold the image;
#  - unticking that enclosure in the "Simulated enclosures" panel refreshes the device list once
#    (the simulator tells its debugger every list it shows, one line each, read here from wine's
#    debugstr channel), and the new list has lost that enclosure;
#  - Exit ends the program with status 0;
#  - at 144 and 192 DPI (wine's LogPixels) the window and the enclosure panel open on the screen,
#    the panel moved back from beyond its right edge.
#
#   scripts/windows-window-check.sh    (BUILD_DIR: the cross build, default build-mingw)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build-mingw}"
tool="$build/src/app/win32/q71xfwtool-sim.exe"
caption=" QV4071x FW Update Utility v1.16.00"
# The first enclosure of the simulator's machine: serial flash, image at offset 0.
enclosure="qv40714-atmel"
wine=/usr/lib/wine/wine64

fail() {
  echo "windows-window-check: FAILED: $*" >&2
  exit 1
}
pass() { echo "windows-window-check: ok: $*"; }

for program in Xvfb xdotool xwininfo xclip "$wine"; do
  command -v "$program" >/dev/null || fail "$program is missing (scripts/windows-cross-check.sh installs it)"
done
[ -f "$tool" ] || fail "$tool is not built (run scripts/windows-cross-check.sh)"

# Only the program's own debugger lines: OutputDebugString on wine's debugstr channel.
export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wineprefix}" WINEDEBUG=-all,warn+debugstr
state="$(mktemp -d "$PWD/$build/window-check.XXXXXX")"
exec 3> "$state.display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
app=""
cleanup() {
  if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then kill "$app" 2>/dev/null || true; fi
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$state" "$state.display" "$state.log"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  [ -s "$state.display" ] && break
  sleep 0.1
done
[ -s "$state.display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$state.display")"

# Polls `command` until it prints something, for up to $1 seconds; prints what it printed.
wait_for() {
  local seconds="$1" out=""
  shift
  for _ in $(seq 1 $((seconds * 4))); do
    out="$("$@" 2>/dev/null || true)"
    [ -n "$out" ] && { echo "$out"; return 0; }
    sleep 0.25
  done
  return 1
}
client_size() {
  xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}
visible_box() { xdotool search --onlyvisible --name '^(Message|Error)$' | head -n1; }
# Clicks at (x, y) of the window's client area: with no window manager the X window is it.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.5
}
# Waits for the client size, which follows the window's own resizing a little later.
expect_size() {
  local want="$1" what="$2" got=""
  for _ in $(seq 1 20); do
    got="$(client_size "$window")"
    [ "$got" = "$want" ] && { pass "$what: client area $got"; return 0; }
    sleep 0.25
  done
  fail "$what: client area $got, want $want"
}

# The screen's DPI as wine gives it to every program it starts; 96 unless a check sets it.
set_dpi() {
  local key
  for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
    "$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  done
}
set_dpi 96
winstate="Z:${state//\//\\}"
"$wine" "$tool" --state "$winstate" >"$state.log" 2>&1 &
app=$!

window="$(wait_for 120 xdotool search --name "^${caption}\$" | head -n1)" ||
  fail "the window did not appear"
# The enclosure panel is shown last, just before the program takes input: wait for it too.
panel="$(wait_for 60 xdotool search --name '^Simulated enclosures$' | head -n1)" ||
  fail "the enclosure panel did not appear"
title="$(xdotool getwindowname "$window")"
[ "$title" = "$caption" ] || fail "caption \"$title\", want \"$caption\""
pass "caption \"$title\""
sleep 1
[ -z "$(visible_box)" ] || fail "a message box is open at start"
expect_size 347x291 "at start"

click "$window" 14 272  # "RD Version"
expect_size 347x420 "\"RD Version\" ticked"
click "$window" 14 272
expect_size 347x291 "\"RD Version\" unticked"

image="$state/images/$enclosure.bin"
[ -f "$image" ] || fail "the sample image $image was not written"
flash="$state/sim_usbstor_disk_$enclosure/flash.bin"
[ ! -e "$flash" ] || fail "the state folder was not fresh"
winimage="Z:${image//\//\\}"
printf '%s' "$winimage" | xclip -selection clipboard 2>/dev/null
click "$window" 150 80  # "Firmware File"
xdotool key ctrl+v
sleep 1
[ -z "$(visible_box)" ] || fail "the firmware file was refused (a box is open)"
click "$window" 133 268  # Run
box="$(wait_for 60 visible_box)" || fail "Run ended without a box"
[ "$(xdotool getwindowname "$box")" = "Message" ] || fail "Run ended with an error box"
xdotool windowfocus "$box"
sleep 0.3
xdotool key Return
# The state is written (whole, then renamed) once the procedure has returned.
wait_for 20 find "$flash" -size +0 >/dev/null || fail "no flash file after Run: $flash"
size="$(stat -c %s "$image")"
cmp -n "$size" "$image" "$flash" >/dev/null || fail "the flash does not hold the image"
pass "the enclosure's flash holds the image ($size bytes) after Run"
[ -z "$(visible_box)" ] || fail "a box is still open after Run"

# The device lists the window has shown, as the simulator told its debugger: a line
# "device list of N" for each, and a line "device list item [TEXT]" for each of its items.
lists() { grep -a "q71xfwtool-sim: device list of" "$state.log" || true; }
# The items of the last list, one a line.
last_items() {
  grep -a "q71xfwtool-sim: device list" "$state.log" |
    awk '/device list of/ { n = 0; next }
         { sub(/.*device list item \[/, ""); sub(/\][^]]*$/, ""); item[n++] = $0 }
         END { for (i = 0; i < n; i++) print item[i] }'
}
shown="$(lists | wc -l)"
[ "$shown" -ge 1 ] || fail "the simulator told no device list (its debugger output: $(cat "$state.log"))"
before="$(last_items)"
first="$(head -n1 <<<"$before")"
items="$(wc -l <<<"$before")"
copies="$(grep -cxF "$first" <<<"$before")"
click "$panel" 14 77  # the first enclosure's box, under the panel's three lines
# The hot-plug delay folds the unplug into one refresh; wait for it, then a while longer for any
# second one.
for _ in $(seq 1 40); do
  [ "$(lists | wc -l)" -gt "$shown" ] && break
  sleep 0.25
done
sleep 3
now="$(lists | wc -l)"
[ "$now" -eq $((shown + 1)) ] ||
  fail "unticking an enclosure refreshed the list $((now - shown)) times, want once"
after="$(last_items)"
[ "$(grep -c . <<<"$after")" -eq $((items - 1)) ] ||
  fail "after the untick the list has $(grep -c . <<<"$after") items, want $((items - 1))"
[ "$(grep -cxF "$first" <<<"$after" || true)" -eq $((copies - 1)) ] ||
  fail "after the untick the list still holds \"$first\""
pass "unticking the enclosure refreshes the list once, to $((items - 1)) items without \"$first\""

click "$window" 253 268  # Exit
for _ in $(seq 1 120); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.25
done
kill -0 "$app" 2>/dev/null && fail "Exit did not end the program"
status=0
wait "$app" || status=$?
app=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
pass "Exit ends the program with status 0"

# Larger DPI: everything grows, and the panel beside the window would run off the screen.
# Absolute X geometry (no window manager: a window's X window is its client area).
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'
}
screen_width="$(xwininfo -root | awk '/Width:/ { print $2 }')"
screen_height="$(xwininfo -root | awk '/Height:/ { print $2 }')"
for dpi in 144 192; do
  set_dpi "$dpi"
  "$wine" "$tool" --state "$winstate" >"$state.log" 2>&1 &
  app=$!
  window="$(wait_for 120 xdotool search --onlyvisible --name "^${caption}\$" | head -n1)" ||
    fail "at $dpi DPI the window did not appear"
  panel="$(wait_for 60 xdotool search --onlyvisible --name '^Simulated enclosures$' | head -n1)" ||
    fail "at $dpi DPI the enclosure panel did not appear"
  sleep 1
  # The window grows with the DPI, or the setting did not reach the program.
  read -r x y w h <<<"$(geometry "$window")"
  [ "$w" -ge $((347 * dpi / 96 - 2)) ] || fail "at $dpi DPI the window is ${w}x$h, as at 96 DPI"
  for shown in window panel; do
    read -r x y w h <<<"$(geometry "${!shown}")"
    [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$screen_width" ] &&
      [ "$y" -lt "$screen_height" ] ||
      fail "at $dpi DPI the $shown lies at $x,$y size ${w}x$h, off the ${screen_width}x$screen_height screen"
  done
  pass "at $dpi DPI the window and the panel (${w}x$h at ${x},$y) open on the screen"
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
done
set_dpi 96
