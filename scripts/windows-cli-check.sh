#!/usr/bin/env bash
# Runs the Windows build of q71xfw under wine over its simulated machine, the way a script on
# Windows would, with the state folder and the image file under Greek and CJK names on the command
# line (outside any ANSI code page wine gives the program):
#  - `list --json` names the QV40714 serial-flash enclosure;
#  - `--yes update` with the image succeeds (exit code 0, with "power_cycle" in the document), the
#    image is in the enclosure's flash in the state folder, and the automatic backup lies under
#    %LOCALAPPDATA%\q71xfw\backups with its record.
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

q71xfw list >"$work/list.json" || fail "list ended with $?"
path="$(json "$work/list.json" \
  "next(x['path'] for x in d['devices'] if x['path'].endswith(':$enclosure'))")" ||
  fail "list names no $enclosure: $(cat "$work/list.json")"
pass "list names $path"

image="$work/Υλικολογισμικό 固件.bin"
cp "$state/images/$enclosure.bin" "$image"
flash="$state/sim_usbstor_disk_$enclosure/flash.bin"
size="$(stat -c %s "$image")"
! cmp -s -n "$size" "$image" "$flash" || fail "the image is in the flash already"
status=0
q71xfw --yes update "$path" "$(windows_path "$image")" >"$work/update.json" || status=$?
[ "$status" -eq 0 ] || fail "update ended with $status: $(cat "$work/update.json")"
cmp -n "$size" "$image" "$flash" >/dev/null || fail "the flash does not hold the image"
pass "update with a Greek and CJK image name leaves the image in the flash ($size bytes)"

# The backup's Windows path, under the prefix's C: drive.
backup="$(json "$work/update.json" "d['auto_backup']['file']")"
case "$backup" in
  [Cc]:\\users\\*\\AppData\\Local\\q71xfw\\backups\\*) ;;
  *) fail "the automatic backup is not under %LOCALAPPDATA%: $backup" ;;
esac
unix_backup="$WINEPREFIX/drive_c/$(printf '%s' "${backup:3}" | tr '\\' /)"
[ -s "$unix_backup" ] && [ -s "${unix_backup%.bin}.json" ] ||
  fail "the backup or its record is missing: $unix_backup"
pass "the automatic backup and its record are under %LOCALAPPDATA%\\q71xfw\\backups"
rm -f "$unix_backup" "${unix_backup%.bin}.json"
