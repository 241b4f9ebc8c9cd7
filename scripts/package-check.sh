#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian (no errors allowed; the warnings are
# printed), installs it, checks that every program has its manual page and the desktop entries
# their icon, and starts the installed tool over simulated enclosures for a few seconds on an
# offscreen display: a start that survives until it is stopped counts as a start.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
missing=()
for p in dpkg-dev lintian; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The test build serves: only the installed targets go into the package.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${Q71X_BUILD_TYPE:-RelWithDebInfo}" \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQ71X_BUILD_APP=ON -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build -j2
rm -f build/q71xfwtool_*.deb
(cd build && cpack -G DEB)
package=$(ls build/q71xfwtool_*.deb | head -n 1)

# lintian exits non-zero on errors only; run as root it wants to be told that is meant.
lintian_log=$(mktemp)
set +e
lintian --allow-root --tag-display-limit 0 "$package" >"$lintian_log" 2>&1
lintian_status=$?
set -e
cat "$lintian_log"
if [ "$lintian_status" -ne 0 ] || grep -q '^E: ' "$lintian_log"; then
  echo "package check: lintian reports errors in $package"
  exit 1
fi
echo "package check: lintian: no errors, $(grep -c '^W: ' "$lintian_log" || true) warnings"
rm -f "$lintian_log"

# The changelog's newest entry is this version.
version=$(dpkg-deb -f "$package" Version)
dpkg-deb --fsys-tarfile "$package" | tar -xO ./usr/share/doc/q71xfwtool/changelog.gz | gzip -dc |
  head -n 1 | grep -q "^q71xfwtool ($version) " ||
  { echo "package check: the changelog's newest entry is not version $version"; exit 1; }

DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "./$package"
test -x /usr/bin/q71xfwtool
test -f /usr/lib/udev/rules.d/60-q71xfwtool.rules -o -f /lib/udev/rules.d/60-q71xfwtool.rules
test -f /usr/share/doc/q71xfwtool/copyright
for program in $(dpkg -L q71xfwtool | grep '^/usr/bin/'); do
  name=$(basename "$program")
  test -f "/usr/share/man/man1/$name.1.gz" ||
    { echo "package check: $name has no manual page"; exit 1; }
done
icon=/usr/share/icons/hicolor/scalable/apps/q71xfwtool.svg
test -f "$icon" || { echo "package check: the icon $icon is not installed"; exit 1; }
for entry in /usr/share/applications/q71xfwtool.desktop /usr/share/applications/q71xfwtool-sim.desktop; do
  grep -qx 'Icon=q71xfwtool' "$entry" ||
    { echo "package check: $entry does not name the icon"; exit 1; }
done
state=$(mktemp -d)
set +e
QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/q71xfwtool-sim --state "$state"
status=$?
QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/q71xfwtool
status_os=$?
set -e
rm -rf "$state"
# 124: still running when stopped, as a window should be.
if [ "$status" -ne 124 ] || [ "$status_os" -ne 124 ]; then
  echo "package check: the installed tool did not keep running (q71xfwtool-sim $status, q71xfwtool $status_os)"
  exit 1
fi
echo "package check: $package passes lintian, installs with its manual pages and icon, and both executables start"
