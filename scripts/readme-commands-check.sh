#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs the README's command lines that need neither a display nor hardware against the build
# tree, as a newcomer would type them, and fails when one fails:
#  - every indented line of the README that starts with build/tools/ or build/src/app/cli/, as
#    written (the sample-image generator, the command line over the simulator);
#  - the command-line section's `q71xfw ...` examples for real enclosures, with --sim added and
#    the simulator's QV40714 sample image as new-firmware.bin.
# They run in a folder of their own with HOME and XDG_DATA_HOME there, so that the default state
# and backup folders the README names are fresh and the user's are left alone.
#   scripts/readme-commands-check.sh    (after scripts/test.sh or scripts/run-sim.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
cli=$repo/build/src/app/cli/q71xfw
for program in "$cli" "$repo/build/tools/q71x-mkimage"; do
  [ -x "$program" ] || { echo "readme-commands-check: $program is not built" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$HOME" "$work/cwd"
ran=0
failed=0
run() {
  echo "\$ $1"
  local status=0
  (cd "$work/cwd" && PATH="$(dirname "$cli"):$PATH" bash -c "$1") >"$work/out" 2>&1 || status=$?
  sed 's/^/  /' "$work/out" | head -n 20
  ran=$((ran + 1))
  if [ "$status" -ne 0 ]; then
    echo "  FAILED with exit code $status"
    failed=$((failed + 1))
  fi
}

# The README's own build-tree lines, each as written (build/ is the repository's).
mapfile -t lines < <(grep -E '^    build/(tools|src/app/cli)/' README.md | sed -e 's/^    //' -e 's/  *#.*$//')
[ ${#lines[@]} -ge 5 ] || { echo "readme-commands-check: the README shows no build-tree commands" >&2; exit 1; }
for line in "${lines[@]}"; do
  run "${line//build\//$repo/build/}"
done

# The examples for real enclosures, over the simulator: device 0 must be the QV40714 enclosure
# whose sample image they take.
cp "$XDG_DATA_HOME/q71xfwtool-sim/images/qv40714-atmel.bin" "$work/cwd/new-firmware.bin"
"$cli" --sim list | head -n 1 | grep -q 'qv40714-atmel' ||
  { echo "readme-commands-check: device 0 of the simulator is not the QV40714 enclosure" >&2; exit 1; }
mapfile -t examples < <(grep -E '^    q71xfw ' README.md | sed -e 's/^    //' -e 's/  *#.*$//')
[ ${#examples[@]} -ge 3 ] || { echo "readme-commands-check: the README shows no q71xfw examples" >&2; exit 1; }
for line in "${examples[@]}"; do
  run "q71xfw --sim ${line#q71xfw }"
done

echo "readme-commands: $((ran - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
