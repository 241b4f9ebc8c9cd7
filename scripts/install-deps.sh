#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian packages a task needs, and no more. Safe to run again.
#   scripts/install-deps.sh [GROUP...]      (default: tests)
#     build     compiler, CMake, Qt, libudev and the command line's header libraries: enough to
#               build and start the programs (scripts/run-sim.sh)
#     tests     build, and GoogleTest (scripts/test.sh)
#     fuzz      clang with its sanitizer and libFuzzer runtimes (the fuzz scripts, the sanitizers)
#     bench     the benchmark library
#     display   a virtual X display, for screenshots and window checks without a screen
#     package   build, and the Debian packaging tools (scripts/package-check.sh)
#     windows   the mingw-w64 cross build, wine, NSIS and the manual's text tools
#     all       every group above (CI)
set -euo pipefail
groups=("${@:-tests}")
packages=()
add_group() {
  case "$1" in
    build)
      packages+=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl1-mesa-dev
        libudev-dev libcli11-dev nlohmann-json3-dev) ;;
    tests) add_group build; packages+=(googletest libgtest-dev libgmock-dev python3) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(libbenchmark-dev) ;;
    display) packages+=(xvfb xauth) ;;
    package)
      add_group build
      packages+=(debhelper dpkg-dev devscripts lintian desktop-file-utils appstream) ;;
    windows)
      add_group display
      packages+=(g++-mingw-w64-x86-64-posix googletest wine64 xdotool x11-utils xclip nsis zip
        groff-base bsdextrautils python3) ;;
    # The names of an earlier version of this script, which older notes still give.
    run) add_group build ;;
    test) add_group tests ;;
    extras) for group in fuzz bench display windows; do add_group "$group"; done ;;
    all)
      for group in build tests fuzz bench display package windows; do add_group "$group"; done ;;
    *) echo "install-deps.sh: unknown group $1" >&2; exit 2 ;;
  esac
}
for group in "${groups[@]}"; do
  add_group "$group"
done
missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
