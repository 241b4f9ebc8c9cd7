#!/usr/bin/env bash
# Builds the Debian package, installs it, and starts the installed tool over simulated
# enclosures for a few seconds on an offscreen display: a start that survives until it is
# stopped counts as a start.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q "install ok installed" ||
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends dpkg-dev
# The test build serves: only the installed targets go into the package.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ71X_BUILD_APP=ON -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build -j2
rm -f build/q71xfwtool_*.deb
(cd build && cpack -G DEB)
package=$(ls build/q71xfwtool_*.deb | head -n 1)
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "./$package"
test -x /usr/bin/q71xfwtool
test -f /usr/lib/udev/rules.d/60-q71xfwtool.rules -o -f /lib/udev/rules.d/60-q71xfwtool.rules
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
echo "package check: $package installs and both executables start"
