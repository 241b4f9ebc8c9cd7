#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian packages from the debian/ source package (dpkg-buildpackage, one build, on a
# copy of the sources so the tree stays clean), checks them with lintian at --pedantic (any tag
# fails, overrides say why where one is right), the desktop entries with desktop-file-validate,
# the AppStream metainfo with appstreamcli and every installed executable with hardening-check;
# makes sure the command line pulls in no Qt or OpenGL; installs them, checks that every program
# has its manual page, the desktop entries their icons, the udev rule its probe, and starts both
# windows on an offscreen display for a few seconds (a start that survives until it is stopped
# counts as a start). Whatever it installed is purged again when it ends, however it ends.
#   PACKAGE_DIR   where the sources are copied and the packages land (default build-deb)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
fail() { echo "package check: FAILED: $*" >&2; exit 1; }

out="${PACKAGE_DIR:-build-deb}"
rm -rf "$out"
mkdir -p "$out/src"
# The tree as it is, tracked and new files alike, without build folders or ignored files.
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$out/src"
# With the distribution's compiler, as the distribution builds it: a CXX meant for the test build
# (CI takes clang) would change the hardening (no fortified calls) and the debugging information.
(cd "$out/src" && env -u CC -u CXX DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-nocheck parallel=2}" \
  dpkg-buildpackage -us -uc -b)
changes=$(ls "$out"/q71xfwtool_*.changes)
# The debug symbols are built too (lintian sees them); only the packages are installed.
mapfile -t debs < <(ls "$out"/*.deb | grep -v -- '-dbgsym_')
packages=(q71xfw q71xfwtool q71xfwtool-sim q71x-mkimage)

# lintian as a maintainer would run it before an upload; run as root it wants to be told so.
lintian_args=(-I --pedantic --tag-display-limit 0 --fail-on error,warning,info,pedantic)
[ "$(id -u)" -eq 0 ] && lintian_args+=(--allow-root)
lintian "${lintian_args[@]}" "$changes" || fail "lintian reports tags (above)"
echo "package check: lintian --pedantic: no tags"

# The headless command line must not drag the window toolkit or OpenGL onto a server.
cli_deb=$(ls "$out"/q71xfw_*.deb)
cli_depends=$(dpkg-deb -f "$cli_deb" Depends)
if grep -qiE 'qt|libgl|opengl|libx11' <<<"$cli_depends"; then
  fail "q71xfw depends on a window library: $cli_depends"
fi

# Install, and purge on the way out whatever was not installed before.
before=$(mktemp)
dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 ~ /^i/ {print $2}' | sort >"$before"
cleanup() {
  local after new
  after=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 ~ /^i/ {print $2}' | sort)
  new=$(comm -13 "$before" - <<<"$after" | tr '\n' ' ')
  if [ -n "$new" ]; then
    echo "package check: purging $new"
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y -qq $new >/dev/null || true
  fi
  rm -f "$before"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${debs[@]/#/./}"

if ldd /usr/bin/q71xfw | grep -qiE 'qt|libGL|libX11'; then
  fail "/usr/bin/q71xfw loads a window library"
fi
for entry in /usr/share/applications/q71xfwtool.desktop /usr/share/applications/q71xfwtool-sim.desktop; do
  desktop-file-validate "$entry" || fail "desktop-file-validate: $entry"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  test -f "/usr/share/icons/hicolor/scalable/apps/$icon.svg" || fail "$entry: no icon $icon"
done
echo "package check: desktop-file-validate: both entries valid"
appstreamcli validate --no-net --pedantic /usr/share/metainfo/*q71xfwtool*.metainfo.xml ||
  fail "appstreamcli validate"

binaries=()
for package in "${packages[@]}"; do
  while read -r file; do
    [ -f "$file" ] && [ -x "$file" ] && head -c 4 "$file" | grep -q 'ELF' && binaries+=("$file")
  done < <(dpkg -L "$package")
done
[ ${#binaries[@]} -ge 6 ] || fail "only ${#binaries[@]} executables installed: ${binaries[*]}"
# The control-flow mark needs every linked object to carry it, and this release's C library start
# files (crt1.o, crti.o) do not: no executable of the distribution shows it (/usr/bin/ls neither),
# though our code is compiled with -fcf-protection. Everything else must pass.
hardening-check --nocfprotection "${binaries[@]}" || fail "hardening-check (above)"

for package in "${packages[@]}"; do
  version=$(dpkg-query -W -f='${Version}' "$package")
  zcat "/usr/share/doc/$package/changelog.gz" | head -n 1 | grep -q "^q71xfwtool ($version) " ||
    fail "$package: the changelog's newest entry is not version $version"
  grep -q 'License: GPL-2+' "/usr/share/doc/$package/copyright" ||
    fail "$package: the copyright file names no GPL-2+"
  for program in $(dpkg -L "$package" | grep '^/usr/bin/'); do
    name=$(basename "$program")
    test -f "/usr/share/man/man1/$name.1.gz" || fail "$name has no manual page"
  done
done
rule=$(ls /usr/lib/udev/rules.d/60-q71xfwtool.rules /lib/udev/rules.d/60-q71xfwtool.rules 2>/dev/null |
  head -n 1)
[ -n "$rule" ] || fail "the udev rule is not installed"
probe=$(sed -n 's/.*PROGRAM=="\([^ ]*\) .*/\1/p' "$rule" | head -n 1)
test -x "/usr/lib/udev/$probe" -o -x "/lib/udev/$probe" || fail "the rule's probe $probe is not installed"

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
  fail "the installed tool did not keep running (q71xfwtool-sim $status, q71xfwtool $status_os)"
fi
echo "package check: ${packages[*]} pass lintian, desktop-file-validate, appstreamcli and" \
  "hardening-check, install with their manual pages, icons and udev rule, and both windows start"
