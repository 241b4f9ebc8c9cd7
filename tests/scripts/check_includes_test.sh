#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The include check over a copy of the tree: it passes on the tree as it is, and fails naming the
# file and line of each planted offence (an upward include, the simulator reaching into the
# product, the product reaching into the simulator, a toolkit header below the front ends, an
# operating-system condition in the core).
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$repo/src" "$repo/sim" "$work/"
check() { python3 "$repo/scripts/check-includes.py" "$work"; }

check >/dev/null || { echo "FAIL: the tree itself breaks the include rules"; check; exit 1; }

plant() {  # file, line to append
  mkdir -p "$(dirname "$work/$1")"
  printf '%s\n' "$2" >>"$work/$1"
  echo "$1:$(wc -l <"$work/$1")"
}
expected=(
  "$(plant src/device/flash_commands.cpp '#include "src/tool/tool_core.h"')"
  "$(plant sim/planted_product.cpp '#include "src/device/flash_commands.h"')"
  "$(plant src/update/planted_simulator.cpp '#include "sim/presets.h"')"
  "$(plant src/app/planted_window_sim.cpp '#include "src/simhost/demo_session.h"')"
  "$(plant src/update/planted_toolkit.cpp '#include <QtWidgets/QWidget>')"
  "$(plant src/tool/planted_condition.cpp '#ifdef _WIN32')"
  "$(plant src/update/serial/planted_sideways.cpp '#include "src/update/df/df_family.h"')"
)
set +e
output=$(check 2>&1)
status=$?
set -e
failed=0
if [ "$status" -ne 1 ]; then
  echo "FAIL: the check exited with $status, not 1"
  failed=1
fi
for where in "${expected[@]}"; do
  if ! grep -q "^$where: " <<<"$output"; then
    echo "FAIL: nothing reported at $where"
    failed=1
  fi
done
if [ "$(grep -c '^src/\|^sim/' <<<"$output")" -ne "${#expected[@]}" ]; then
  echo "FAIL: more offences reported than planted"
  failed=1
fi
echo "$output"
exit "$failed"
