#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs the Windows build of q71xfw under wine over its simulated machine, the way a script on
# Windows would, every verb with the state folder and each file under Greek and CJK names on the
# command line (outside any ANSI code page wine gives the program):
#  - `list --json` names the QV40714 serial-flash enclosure, `info` gives its facts;
#  - `check` accepts the image, `--yes update` with it succeeds (exit code 0, with "power_cycle" in
#    the document), the image is in the enclosure's flash in the state folder, and the automatic
#    backup lies under %LOCALAPPDATA%\q71xfw\backups with its record, which `backups` lists;
#  - `verify` with the image finds a match;
#  - `backup` to a new file writes the flash's bytes and a record, `restore` of that file takes
#    it, and `--trace` writes its trace under the name given;
#  - `--yes erase` succeeds and leaves the firmware erased.
#
#   scripts/windows-cli-check.sh    (BUILD_DIR: the cross build, default build-mingw)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build-mingw}"
cli="$build/src/app/cli/q71xfw.exe"
enclosure="qv40714-atmel"
wine=/usr/lib/wine/wine64

fail() {
  echo "windows-cli-check: FAILED: $*" >&2
  exit 1
}
pass() { echo "windows-cli-check: ok: $*"; }

[ -f "$cli" ] || fail "$cli is not built (run scripts/windows-cross-check.sh)"
# Wine reads the command line in the Unix locale's character set.
export LC_ALL=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wineprefix}" WINEDEBUG=-all
work="$(mktemp -d "$PWD/$build/cli-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# The value of a key in a JSON document, by a Python expression over it (`d`).
json() { python3 -c "import json, sys; d = json.load(open(sys.argv[1])); print($2)" "$1"; }

state="$work/Κατάσταση 状態"
q71xfw() { "$wine" "$cli" --sim --state "$(windows_path "$state")" --json "$@"; }

# One verb; fails unless it ends with one of the codes given (default 0).
run() {
  local name="$1" codes="${2:-0}" status=0
  shift 2
  q71xfw "$@" >"$work/$name.json" || status=$?
  [[ " $codes " == *" $status "* ]] || fail "$name ended with $status: $(cat "$work/$name.json")"
}

run list 0 list
path="$(json "$work/list.json" \
  "next(x['path'] for x in d['devices'] if x['path'].endswith(':$enclosure'))")" ||
  fail "list names no $enclosure: $(cat "$work/list.json")"
pass "list names $path"

image="$work/Υλικολογισμικό 固件.bin"
cp "$state/images/$enclosure.bin" "$image"
flash="$state/sim_usbstor_disk_$enclosure/flash.bin"
size="$(stat -c %s "$image")"
! cmp -s -n "$size" "$image" "$flash" || fail "the image is in the flash already"
run info 0 info "$path"
run check 0 check "$path" "$(windows_path "$image")"
pass "info and check with a Greek and CJK image name"
run update 0 --yes update "$path" "$(windows_path "$image")"
cmp -n "$size" "$image" "$flash" >/dev/null || fail "the flash does not hold the image"
pass "update with a Greek and CJK image name leaves the image in the flash ($size bytes)"

# The automatic backup a verb made, by its path under the prefix's C: drive; checked to be under
# %LOCALAPPDATA% with its record.
automatic_backup() {
  local backup unix
  backup="$(json "$work/$1.json" "d['auto_backup']['file']")"
  case "$backup" in
    [Cc]:\\users\\*\\AppData\\Local\\q71xfw\\backups\\*) ;;
    *) fail "the automatic backup of $1 is not under %LOCALAPPDATA%: $backup" ;;
  esac
  unix="$WINEPREFIX/drive_c/$(printf '%s' "${backup:3}" | tr '\\' /)"
  [ -s "$unix" ] && [ -s "$unix.json" ] || fail "the backup or its record is missing: $unix"
  printf '%s' "$unix"
}
unix_backup="$(automatic_backup update)"
pass "the automatic backup and its record are under %LOCALAPPDATA%\\q71xfw\\backups"
run backups 0 backups
json "$work/backups.json" "d['backups'][0]['file']" >/dev/null ||
  fail "backups lists nothing: $(cat "$work/backups.json")"
pass "backups lists the automatic backup"
rm -f "$unix_backup" "$unix_backup.json"

# Each of these opens a file by the name given: the image, the backup and its record, the trace.
run verify 0 verify "$path" "$(windows_path "$image")"
[ "$(json "$work/verify.json" "d['comparison']['result']")" = match ] ||
  fail "verify found no match: $(cat "$work/verify.json")"
pass "verify with a Greek and CJK image name finds the image in the flash"
kept="$work/Αντίγραφο 备份.bin"
trace="$work/Ίχνος 跟踪.trace"
run backup 0 --trace "$(windows_path "$trace")" backup "$path" "$(windows_path "$kept")"
cmp -n "$(stat -c %s "$kept")" "$kept" "$flash" >/dev/null || fail "the backup is not the flash"
[ -s "$kept.json" ] || fail "the backup has no record beside it"
grep -q . "$trace" || fail "no trace under its Greek and CJK name"
pass "backup and --trace write their files under Greek and CJK names"
run restore "0 6" --yes restore "$path" "$(windows_path "$kept")"
pass "restore takes the Greek and CJK named backup through its record"
run erase "0 6" --yes erase "$path"
! cmp -s -n "$size" "$image" "$flash" || fail "erase left the image in the flash"
pass "erase"
for verb in restore erase; do
  unix_backup="$(automatic_backup "$verb")"
  rm -f "$unix_backup" "$unix_backup.json"
done
