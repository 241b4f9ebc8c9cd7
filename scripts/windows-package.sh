#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Packs the Windows executables of the cross build (the window over the real backend, the window
# over simulated enclosures, the command-line program) with the command line's manual as text
# (its folders named as on Windows) and the licence: a zip of them and an NSIS installer, in
# $BUILD_DIR/dist. Checks that every executable and the installer carry version information.
# Then installs the installer silently into the build's wine prefix for all users, checks that
# every file arrived whole, the all-users Start menu's shortcuts and the PATH entry, uninstalls
# again and checks that nothing it installed is left.
#
#   scripts/windows-package.sh    (BUILD_DIR: the cross build, default build-mingw)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build-mingw}"
bin="$build/src/app/win32"
cli="$build/src/app/cli"
dist="$build/dist"
stage="$build/package-files"
version="$(sed -n 's/^project(q71xfwtool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "windows-package.sh: no version in CMakeLists.txt" >&2; exit 1; }
programs=(q71xfwtool.exe q71xfwtool-sim.exe q71xfw.exe)
manual=q71xfw-manual.txt
# The executables are static: the GCC runtime and libstdc++ (GPL 3 with the GCC Runtime Library
# Exception), the mingw-w64 runtime with winpthreads, and the header-only CLI11 and JSON libraries
# of q71xfw travel inside them, and so do their licences, from the Debian packages that built them.
declare -A license_sources=(
  [gcc-runtime.txt]=/usr/share/doc/gcc-mingw-w64-base/copyright
  [GPL-3.txt]=/usr/share/common-licenses/GPL-3
  [mingw-w64-runtime.txt]=/usr/share/doc/mingw-w64-x86-64-dev/copyright
  [CLI11.txt]=/usr/share/doc/libcli11-dev/copyright
  [nlohmann-json.txt]=/usr/share/doc/nlohmann-json3-dev/copyright
)
licenses=(LICENSE.txt)
for name in "${!license_sources[@]}"; do
  licenses+=("licenses/$name")
done
files=("${programs[@]}" "$manual" "${licenses[@]}")
for program in "$bin/q71xfwtool.exe" "$bin/q71xfwtool-sim.exe" "$cli/q71xfw.exe"; do
  [ -f "$program" ] || { echo "windows-package.sh: $program is not built" >&2; exit 1; }
done
for tool in makensis zip strings groff col; do
  command -v "$tool" >/dev/null || { echo "windows-package.sh: $tool is missing" >&2; exit 1; }
done
# Each program carries its manifest: the execution level it needs, common controls 6, DPI aware.
check_manifest() {
  local text
  text="$(strings "$stage/$1")"
  for want in "requestedExecutionLevel level=\"$2\"" "Microsoft.Windows.Common-Controls" \
    "<dpiAware"; do
    grep -qF "$want" <<<"$text" ||
      { echo "windows-package.sh: FAILED: $1 has no $want in its manifest" >&2; exit 1; }
  done
}

rm -rf "$dist" "$stage"
mkdir -p "$dist" "$stage/licenses"
# Text files with Windows line ends, for Notepad.
to_windows_text() { sed 's/$/\r/' "$1" >"$2"; }
to_windows_text LICENSE "$stage/LICENSE.txt"
for name in "${!license_sources[@]}"; do
  source_file="${license_sources[$name]}"
  [ -f "$source_file" ] || { echo "windows-package.sh: $source_file is missing" >&2; exit 1; }
  to_windows_text "$source_file" "$stage/licenses/$name"
done
cp "$bin/q71xfwtool.exe" "$bin/q71xfwtool-sim.exe" "$cli/q71xfw.exe" "$stage/"
# The manual page as plain text with Windows line ends, for Notepad and the console's `more`.
# The per-user folders are those the programs use on Windows: %LOCALAPPDATA%, with backslashes
# (groff's \e), where the page names the Linux ones.
sed -e "s/@VERSION@/$version/g" \
  -e '/\$XDG_DATA_HOME/{s|\$XDG_DATA_HOME|%LOCALAPPDATA%|g; s|/|\\e|g}' \
  -e '/\$XDG_RUNTIME_DIR/{s|\$XDG_RUNTIME_DIR|%LOCALAPPDATA%|g; s|/|\\e|g}' \
  -e 's|id inside); else$|id inside).|' -e '/^\.IR \/tmp\/q71xfwtool/d' \
  -e 's|~/\.local/share/|%LOCALAPPDATA%\\e|g' docs/man/q71xfw.1 |
  groff -man -rHY=0 -Tascii -P-c 2>/dev/null | col -bx | sed 's/$/\r/' >"$stage/$manual"
grep -q "q71xfw" "$stage/$manual" || { echo "windows-package.sh: the manual is empty" >&2; exit 1; }
grep -qF '%LOCALAPPDATA%\q71xfw\backups' "$stage/$manual" &&
  ! grep -qE 'XDG_|~/\.local' "$stage/$manual" ||
  { echo "windows-package.sh: FAILED: the manual names folders that are not Windows'" >&2; exit 1; }
check_manifest q71xfwtool.exe requireAdministrator
check_manifest q71xfwtool-sim.exe asInvoker
# Each executable carries the program's icon: every image of the .ico is among its resources.
for program in "${programs[@]}"; do
  python3 - "packaging/windows/q71xfwtool.ico" "$stage/$program" <<'PY' ||
import struct, sys
icon, exe = (open(name, "rb").read() for name in sys.argv[1:])
count = struct.unpack_from("<H", icon, 4)[0]
images = [struct.unpack_from("<II", icon, 14 + 16 * i) for i in range(count)]
sys.exit(0 if count and all(icon[offset:offset + size] in exe for size, offset in images) else 1)
PY
    { echo "windows-package.sh: FAILED: $program does not carry the icon" >&2; exit 1; }
done
zipfile="$dist/q71xfwtool-$version-win64.zip"
installer="$dist/q71xfwtool-$version-win64-setup.exe"
(cd "$stage" && zip -q -r -X "$OLDPWD/$zipfile" "${files[@]}")
makensis -V2 -DVERSION="$version" -DBINDIR="$PWD/$stage" -DOUTFILE="$PWD/$installer" \
  packaging/windows/q71xfwtool.nsi
# Every executable and the installer say which version they are (Explorer's Details tab).
for program in "${programs[@]/#/$stage/}" "$installer"; do
  found="$(python3 scripts/pe_version.py "$program")" && [ "${found##* }" = "$version.0" ] ||
    { echo "windows-package.sh: FAILED: $program carries no version $version ($found)" >&2; exit 1; }
done
echo "windows-package.sh: ok: the three programs and the installer carry version $version"
echo "windows-package.sh: $zipfile"
echo "windows-package.sh: $installer"

# The installer under wine: silent install for all users, the files as built, the shortcuts and
# the PATH entry, silent uninstall, nothing left. Wine would copy each shortcut to the desktop's
# menus of the machine that runs this: it is kept from that.
export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wineprefix}" WINEDEBUG=-all \
  WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64
fail() {
  echo "windows-package.sh: FAILED: $*" >&2
  exit 1
}
target="$WINEPREFIX/drive_c/Program Files/q71xfwtool"
product="QV4071x FW Update Utility"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$product"
shortcuts=("$product.lnk" "$product (simulated enclosures).lnk" "q71xfw command line manual.lnk")
system_path() {
  "$wine" reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' /v Path |
    tr -d '\r'
}
uninstall_key() {
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\q71xfwtool' \
    >/dev/null 2>&1
}
rm -rf "$target"
"$wine" "$installer" /S
for file in "${files[@]}"; do
  diff -r "$stage/$file" "$target/$file" >/dev/null || fail "$file not installed as built"
done
[ -f "$target/uninstall.exe" ] || fail "no uninstaller"
uninstall_key || fail "no uninstall entry"
for shortcut in "${shortcuts[@]}"; do
  [ -f "$menu/$shortcut" ] || fail "no \"$shortcut\" in the all-users Start menu"
done
# Not in the installing administrator's own menu.
for own in "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs; do
  [ ! -e "$own/$product" ] || fail "shortcuts in $own, the installing user's own menu"
done
# The window starts in the user's documents: its default backup must not land in Program Files.
python3 - "$menu/${shortcuts[0]}" "$menu/${shortcuts[1]}" <<'PY' ||
import sys
want = "%USERPROFILE%\\Documents".encode("utf-16-le")
sys.exit(0 if all(want in open(name, "rb").read() for name in sys.argv[1:]) else 1)
PY
  fail "the shortcuts do not start in %USERPROFILE%\\Documents"
grep -qiF 'C:\Program Files\q71xfwtool' <<<"$(system_path)" || fail "the folder is not on PATH"
echo "windows-package.sh: ok: installed for all users: files as built, Start menu, uninstall entry, PATH"

# The uninstaller copies itself away and returns at once; wait for it to finish (the program
# folder and the Start menu folder go at different moments, so wait for both).
"$wine" "$target/uninstall.exe" /S
for _ in $(seq 1 120); do
  [ ! -e "$target" ] && [ ! -e "$menu" ] && break
  sleep 0.25
done
[ ! -e "$target" ] || fail "the uninstaller left $(cd "$target" && find . | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the uninstaller left the Start menu folder"
! uninstall_key || fail "the uninstaller left the uninstall entry"
! grep -qiF 'C:\Program Files\q71xfwtool' <<<"$(system_path)" || fail "the uninstaller left PATH"
echo "windows-package.sh: ok: the uninstaller removes the files, the folder, the shortcuts, the entry and PATH (wine)"
