#!/usr/bin/env bash
# Packs the Windows executables of the cross build: a zip of them and an NSIS installer, in
# $BUILD_DIR/dist. Then installs the installer silently into the build's wine prefix, checks that
# both executables arrived whole, and uninstalls again.
#
#   scripts/windows-package.sh    (BUILD_DIR: the cross build, default build-mingw)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build-mingw}"
bin="$build/src/app/win32"
dist="$build/dist"
version="$(sed -n 's/^project(q71xfwtool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "windows-package.sh: no version in CMakeLists.txt" >&2; exit 1; }
programs=(q71xfwtool.exe q71xfwtool-sim.exe)
for program in "${programs[@]}"; do
  [ -f "$bin/$program" ] || { echo "windows-package.sh: $bin/$program is not built" >&2; exit 1; }
done
for tool in makensis zip strings; do
  command -v "$tool" >/dev/null || { echo "windows-package.sh: $tool is missing" >&2; exit 1; }
done
# Each program carries its manifest: the execution level it needs, common controls 6, DPI aware.
check_manifest() {
  local text
  text="$(strings "$bin/$1")"
  for want in "requestedExecutionLevel level=\"$2\"" "Microsoft.Windows.Common-Controls" \
    "<dpiAware"; do
    grep -qF "$want" <<<"$text" ||
      { echo "windows-package.sh: FAILED: $1 has no $want in its manifest" >&2; exit 1; }
  done
}
check_manifest q71xfwtool.exe requireAdministrator
check_manifest q71xfwtool-sim.exe asInvoker

rm -rf "$dist"
mkdir -p "$dist"
zipfile="$dist/q71xfwtool-$version-win64.zip"
installer="$dist/q71xfwtool-$version-win64-setup.exe"
(cd "$bin" && zip -q -X "$OLDPWD/$zipfile" "${programs[@]}")
makensis -V2 -DVERSION="$version" -DBINDIR="$PWD/$bin" -DOUTFILE="$PWD/$installer" \
  packaging/windows/q71xfwtool.nsi
echo "windows-package.sh: $zipfile"
echo "windows-package.sh: $installer"

# The installer under wine: silent install, the files as built, silent uninstall.
export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wineprefix}" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
target="$WINEPREFIX/drive_c/Program Files/q71xfwtool"
rm -rf "$target"
"$wine" "$installer" /S
for program in "${programs[@]}"; do
  cmp "$bin/$program" "$target/$program" ||
    { echo "windows-package.sh: FAILED: $program not installed as built" >&2; exit 1; }
done
[ -f "$target/uninstall.exe" ] || { echo "windows-package.sh: FAILED: no uninstaller" >&2; exit 1; }
# The uninstaller copies itself away and returns at once; wait for it to finish.
"$wine" "$target/uninstall.exe" /S
for _ in $(seq 1 120); do
  [ -e "$target/q71xfwtool.exe" ] || break
  sleep 0.25
done
[ ! -e "$target/q71xfwtool.exe" ] ||
  { echo "windows-package.sh: FAILED: the uninstaller left the program" >&2; exit 1; }
echo "windows-package.sh: ok: the installer installs both programs as built and uninstalls them (wine)"
