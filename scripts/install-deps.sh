#!/usr/bin/env bash
# Installs the Debian packages a task needs. Safe to run again.
#   scripts/install-deps.sh run       build the programs and run them (the window, the simulator,
#                                     the command line, the sample-image generator)
#   scripts/install-deps.sh test      run, and the test suite (scripts/test.sh)
#   scripts/install-deps.sh extras    what only the other checks need: clang for the fuzz targets
#                                     and the sanitizers (and CI's compiler), the benchmarks, the
#                                     Windows cross build (mingw-w64, wine, NSIS, the window
#                                     check's X tools, the manual as text) and Xvfb
#   scripts/install-deps.sh [all]     all of them (CI, and the scripts of those checks)
set -euo pipefail
run=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl1-mesa-dev libudev-dev
  libcli11-dev nlohmann-json3-dev
)
test=(googletest libgtest-dev libgmock-dev)
extras=(
  clang libclang-rt-14-dev libbenchmark-dev
  xvfb xauth
  g++-mingw-w64-x86-64-posix wine64 xdotool x11-utils xclip nsis zip groff-base bsdextrautils
  python3
)
packages=()
for group in "${@:-all}"; do
  case $group in
    run) packages+=("${run[@]}") ;;
    test) packages+=("${run[@]}" "${test[@]}") ;;
    extras) packages+=("${extras[@]}") ;;
    all) packages+=("${run[@]}" "${test[@]}" "${extras[@]}") ;;
    *)
      echo "install-deps.sh: unknown group '$group' (run, test, extras, all)" >&2
      exit 2
      ;;
  esac
done
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
