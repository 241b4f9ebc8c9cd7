#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The full fault campaign: for every procedure, engineering action and simulator preset, every
# command index of the fault-free trace is rerun failing, answering short, answering garbage,
# timing out and unplugging the enclosure, and with a persistent fault from that command on
# (every answer short by a few bytes, one field garbled, a flash that stays busy); then a sampled
# set of double faults per case. Each run is judged (no false success, a known ending text,
# recovery after a power cycle or re-plug and the recovery journal's restore, the configuration
# area in place). The command line's update with its automatic backup runs the same faults at
# the same indices on one device of each family that keeps its area in the recovery journal
# (judged by memory and by restoring every backup it claimed), and is stopped by SIGINT or a
# closed standard error at every index (judged by the exit code and the journal's recovery).
# Each case runs in a process of its own, so a crash is counted instead of ending
# the campaign. Prints the figures and the open findings; fails when a case crashed or found
# something no open finding explains.
#   CAMPAIGN_JOBS    cases run at once (default 2)
#   CAMPAIGN_STRIDE  every n-th command index (default 1: all of them)
#   CAMPAIGN_FILTER  cases whose name matches this extended regular expression (default: all)
#   CAMPAIGN_LOGS    where the case logs go (default: campaign-logs in the build directory)
#   CAMPAIGN_BUILD   build directory (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh tests

build="${CAMPAIGN_BUILD:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ71X_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target q71x_tests_campaign
logs="${CAMPAIGN_LOGS:-$build/campaign-logs}"
rm -rf "$logs"
mkdir -p "$logs"
# A copy, so that a rebuild while the campaign runs does not change the cases still to come.
binary="$logs/q71x_tests_campaign"
cp "$build/tests/q71x_tests_campaign" "$binary"

# Full names of the campaign cases, one a line.
"$binary" --gtest_list_tests --gtest_filter='EveryDeviceAndAction/*:KeptAreaFamilies/*:Stops/*' |
  awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' |
  grep -E -- "${CAMPAIGN_FILTER:-}" >"$logs/cases" || true
count=$(wc -l <"$logs/cases")
if [ "$count" -eq 0 ]; then
  echo "campaign: no case matches '${CAMPAIGN_FILTER:-}'" >&2
  exit 1
fi
echo "campaign: $count cases, one command index in ${CAMPAIGN_STRIDE:-1}, ${CAMPAIGN_JOBS:-2} at a time"

export Q71X_CAMPAIGN_STRIDE="${CAMPAIGN_STRIDE:-1}"
started=$(date +%s)
# shellcheck disable=SC2016
xargs -P "${CAMPAIGN_JOBS:-2}" -I{} sh -c '
  name="$1"; log="$2/$(echo "$name" | sed "s|.*/||").log"
  "$3" --gtest_filter="$name" >"$log" 2>&1
  echo "$?" >"$log.rc"
' _ {} "$logs" "$binary" <"$logs/cases"

# A case whose process never reached the end of its test run crashed (a sanitizer abort, a
# signal); one that ended with a failure found something no open finding explains.
elapsed=$(( $(date +%s) - started ))
failed=0 crashed=0 skipped=0
for log in "$logs"/*.log; do
  if ! grep -q '^\[==========\] .* ran\.' "$log"; then
    crashed=$((crashed + 1)); echo "CRASHED: $log"
  elif grep -q '^\[  FAILED  \] [A-Za-z]*/' "$log"; then
    failed=$((failed + 1)); echo "FAILED: $log"
  elif grep -q '^\[  SKIPPED \] [A-Za-z]*/' "$log"; then
    skipped=$((skipped + 1))
  fi
done
echo
echo "fault campaign: $count cases in ${elapsed} s ($failed failed, $crashed crashed," \
  "$skipped skipped by open findings)"

cat "$logs"/*.log | awk -v crashed="$crashed" '
  / trace of [0-9]+ commands; runs / {
    line = $0; sub(/.*commands; /, "", line)
    n = split(line, parts, ", ")
    for (i = 1; i <= n; i++) {
      key = parts[i]; sub(/ [0-9]+$/, "", key)
      value = parts[i]; sub(/.* /, "", value)
      total[key] += value
    }
  }
  /^cli .*: runs [0-9]+/ {
    line = $0; sub(/^[^:]*: /, "", line)
    n = split(line, parts, ", ")
    for (i = 1; i <= n; i++) {
      key = parts[i]; sub(/ [0-9]+$/, "", key)
      value = parts[i]; sub(/.* /, "", value)
      cli[key] += value
    }
  }
  /^open finding [^ ]+ \(.*\): [0-9]+ cases$/ {
    id = $3; found[id] += $(NF - 1)
    if (!(id in heading)) {
      heading[id] = $0; sub(/: [0-9]+ cases$/, "", heading[id]); order[++ids] = id
      getline summary[id]; getline fix[id]
    }
  }
  END {
    printf "runs %d, faults injected %d\n", total["runs"], total["faults injected"]
    printf "one-shot faults: fail %d, short %d, garbage %d, time-out %d, unplug %d\n",
           total["fail"], total["short"], total["garbage"], total["time-out"], total["unplug"]
    printf "persistent faults: short-by-k %d, garbage-field %d, stuck-busy %d, identical-garble %d; " \
           "double faults %d\n",
           total["persistent short-by-k"], total["persistent garbage-field"],
           total["persistent stuck-busy"], total["persistent identical-garble"],
           total["double faults"]
    printf "false successes %d, crashes %d, unrecovered devices %d, unknown texts %d\n",
           total["false successes"], crashed, total["unrecovered devices"], total["unknown texts"]
    printf "configuration areas lost %d (of them after a pull %d), areas restored from the " \
           "journal %d, unsound journal files %d, explained by open findings %d\n",
           total["configuration areas lost"], total["of them after a pull"],
           total["areas restored from the journal"], total["unsound journal files"],
           total["explained by open findings"]
    printf "command line: runs %d (faults and stops that came %d), backups claimed %d, " \
           "restored %d, stops held to the end of the run %d, areas the journal put back %d\n",
           cli["runs"], cli["faults injected"], cli["backups claimed"], cli["backups restored"],
           cli["stops held to the end of the run"], cli["areas restored from the journal"]
    printf "command line: false successes %d, backups that do not restore %d, unrecovered " \
           "devices %d, wrong exits %d, explained by open findings %d\n",
           cli["false successes"], cli["backups that do not restore"],
           cli["unrecovered devices"], cli["wrong exits"], cli["explained by open findings"]
    for (i = 1; i <= ids; i++) {
      id = order[i]
      printf "%s: %d cases\n%s\n%s\n", heading[id], found[id], summary[id], fix[id]
    }
  }'
[ $((failed + crashed)) -eq 0 ]
