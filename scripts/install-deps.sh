#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl1-mesa-dev libudev-dev
  libcli11-dev nlohmann-json3-dev
  clang libclang-rt-14-dev
  xvfb xauth
  # The Windows cross build: tool chain, wine for its tests, the window check's X tools, the
  # packaging (zip, installer, the manual as text, the icon check).
  g++-mingw-w64-x86-64-posix wine64 xdotool x11-utils xclip nsis zip groff-base bsdextrautils
  python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
