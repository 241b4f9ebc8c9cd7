#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Tests the Linux build through a real kernel: boots Debian's kernel under qemu (TCG) with a
# busybox initramfs, where our gadget program shows simulated bridges as USB mass-storage devices
# on dummy_hcd, and the guest test drives them through usb-storage, sg, the tool's Linux backend,
# the device layer and the serial-flash update; then the command-line program, as a seat user who
# is not root and reaches the bridges only through the package's udev rule (Debian's
# systemd-udevd runs it in the guest, with the package's probe), lists, backs up and updates a
# bridge of every family the gadget shows on USB, updates a flash larger than one request of the
# kernel carries, and recovers one whose gadget was pulled in the middle of an update. Prints
# every check and exits non-zero when any failed or the machine did not finish.
#
#   scripts/vm-harness.sh [--gadget FILE --guest-test FILE --cli FILE --cli-test FILE
#                          --probe FILE] [--work-dir DIR] [--skip-without-qemu]
#
# Without the five programs it builds them (statically linked) in build-vm/. With
# --skip-without-qemu (the CTest entry) it exits 77 when qemu-system-x86_64 is not installed
# instead of installing it. Downloads are kept in the work directory for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

gadget="" guest_test="" cli="" cli_test="" probe="" work_dir="$repo/build-vm/vm" skip_without_qemu=0
while [ $# -gt 0 ]; do
  case "$1" in
    --gadget) gadget=$2; shift 2 ;;
    --guest-test) guest_test=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    --cli-test) cli_test=$2; shift 2 ;;
    --probe) probe=$2; shift 2 ;;
    --work-dir) work_dir=$2; shift 2 ;;
    --skip-without-qemu) skip_without_qemu=1; shift ;;
    *) echo "vm-harness: unknown argument $1" >&2; exit 2 ;;
  esac
done

started=$SECONDS
# Bounds: the machine itself, package work, and the whole guest run inside it.
vm_timeout=${Q71X_VM_TIMEOUT:-300}
apt_timeout=240
guest_timeout=$((vm_timeout > 120 ? vm_timeout - 60 : vm_timeout / 2))

log() { echo "vm-harness: $*"; }
fail() { echo "vm-harness: FAIL $*" >&2; exit 1; }

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
apt_updated=0
apt_update_once() {
  if [ $apt_updated -eq 0 ]; then
    timeout $apt_timeout $SUDO apt-get update -qq || fail "apt-get update did not finish"
    apt_updated=1
  fi
}

# --- tools on the host -----------------------------------------------------------------------
if ! command -v qemu-system-x86_64 >/dev/null; then
  if [ $skip_without_qemu -eq 1 ]; then
    echo "vm-harness: SKIP qemu-system-x86_64 is not installed (scripts/vm-harness.sh installs it)"
    exit 77
  fi
fi
missing=()
command -v qemu-system-x86_64 >/dev/null || missing+=(qemu-system-x86)
command -v cpio >/dev/null || missing+=(cpio)
command -v gzip >/dev/null || missing+=(gzip)
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  apt_update_once
  DEBIAN_FRONTEND=noninteractive timeout $apt_timeout $SUDO apt-get install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null || fail "could not install ${missing[*]}"
fi

# --- our programs -----------------------------------------------------------------------------
if [ -z "$gadget" ] || [ -z "$guest_test" ] || [ -z "$cli" ] || [ -z "$cli_test" ] ||
  [ -z "$probe" ]; then
  scripts/install-deps.sh build
  cmake -S . -B build-vm -G Ninja -DQ71X_BUILD_APP=OFF -DQ71X_BUILD_TESTS=OFF >/dev/null
  cmake --build build-vm -j2 --target q71x-gadget q71x-guest-test q71xfw-guest q71x-guest-cli-test \
    q71x-bridge-probe-guest
  gadget=$repo/build-vm/gadget/q71x-gadget
  guest_test=$repo/build-vm/gadget/q71x-guest-test
  cli=$repo/build-vm/gadget/q71xfw-guest
  cli_test=$repo/build-vm/gadget/q71x-guest-cli-test
  probe=$repo/build-vm/gadget/q71x-bridge-probe-guest
fi
for program in "$gadget" "$guest_test" "$cli" "$cli_test" "$probe"; do
  [ -x "$program" ] || fail "$program is missing"
  file -L "$program" 2>/dev/null | grep -q "statically linked" ||
    ldd "$program" 2>&1 | grep -q "not a dynamic executable" ||
    fail "$program is not statically linked: the guest has no libraries"
done

# --- Debian's kernel and busybox, unpacked (not installed) ------------------------------------
# Unpacking keeps the host's /boot, its initramfs hooks and its own busybox out of this.
debs=$work_dir/debs
mkdir -p "$debs"
apt-cache policy linux-image-amd64 2>/dev/null | grep -q "Candidate: [0-9]" || apt_update_once
kernel_package=$(apt-cache depends linux-image-amd64 2>/dev/null |
  awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
[ -n "$kernel_package" ] || fail "apt knows no linux-image-amd64"
kernel_version=${kernel_package#linux-image-}
fetch() {  # package: downloads its .deb into $debs once, prints the file
  local package=$1 file
  file=$(ls "$debs"/"${package}"_*.deb 2>/dev/null | head -n1 || true)
  if [ -z "$file" ]; then
    (cd "$debs" && timeout $apt_timeout apt-get download -q "$package" >/dev/null 2>&1) ||
      { apt_update_once; (cd "$debs" && timeout $apt_timeout apt-get download -q "$package" >/dev/null 2>&1); } ||
      fail "apt-get download $package failed"
    file=$(ls "$debs"/"${package}"_*.deb | head -n1)
  fi
  echo "$file"
}
kernel_deb=$(fetch "$kernel_package")
busybox_deb=$(fetch busybox-static)
kernel_root=$work_dir/kernel-$kernel_version
if [ ! -f "$kernel_root/.unpacked" ]; then
  rm -rf "$kernel_root"
  dpkg-deb -x "$kernel_deb" "$kernel_root"
  touch "$kernel_root/.unpacked"
fi
busybox_root=$work_dir/busybox
if [ ! -x "$busybox_root/bin/busybox" ]; then
  rm -rf "$busybox_root"
  dpkg-deb -x "$busybox_deb" "$busybox_root"
fi
busybox=$busybox_root/bin/busybox
# The device manager: udevd from Debian's udev package, and the seat rule that hands tagged nodes
# to the seat's user, which Debian ships in the systemd package.
udev_root=$work_dir/udev
if [ ! -f "$udev_root/.unpacked" ]; then
  rm -rf "$udev_root"
  dpkg-deb -x "$(fetch udev)" "$udev_root"
  dpkg-deb --fsys-tarfile "$(fetch systemd)" |
    tar -x -C "$udev_root" --wildcards '*/udev/rules.d/73-seat-late.rules'
  touch "$udev_root/.unpacked"
fi
# Found wherever the release keeps them (/lib or, merged, /usr/lib).
find_unpacked() { find "$udev_root" -path "*/$1" \( -type f -o -type l \) | head -n1; }
udevadm=$(find_unpacked bin/udevadm)
[ -n "$udevadm" ] || fail "the udev package holds no udevadm"
modules=$kernel_root/lib/modules/$kernel_version
[ -f "$modules/modules.dep" ] || "$busybox" depmod -b "$kernel_root" "$kernel_version"

# --- the initramfs ----------------------------------------------------------------------------
# Loaded in this order by the guest's modprobe; dependencies come from modules.dep. The two
# generic CRC drivers spare sd_mod's checksum helpers a request for them at load time.
wanted_modules=(crct10dif_generic crc64_rocksoft_generic dummy_hcd libcomposite usb_f_fs
  usb_f_mass_storage usb-storage sg sd_mod sr_mod)
staging=$work_dir/initramfs
rm -rf "$staging"
mkdir -p "$staging"/{bin,dev,proc,sys,run,tmp,etc} "$staging/lib/modules/$kernel_version"
ln -s bin "$staging/sbin"
cp "$busybox" "$staging/bin/busybox"
# Without their debug information the programs pack into a quarter of the initramfs.
stage_program() { strip --strip-debug -o "$staging/bin/$2" "$1" 2>/dev/null || cp "$1" "$staging/bin/$2"; }
stage_program "$gadget" q71x-gadget
stage_program "$guest_test" q71x-guest-test
stage_program "$cli" q71xfw
stage_program "$cli_test" q71x-guest-cli-test
# udevd and the libraries it loads, as the host resolves them (initramfs-tools does the same).
cp "$udevadm" "$staging/bin/udevadm"
mkdir -p "$staging/lib/systemd" "$staging/lib/udev/rules.d"
ln -s /bin/udevadm "$staging/lib/systemd/systemd-udevd"
ldd "$udevadm" | grep -q "not found" &&
  fail "udevadm needs libraries this host lacks: $(ldd "$udevadm" | grep 'not found')"
for library in $(ldd "$udevadm" | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }'); do
  mkdir -p "$staging/$(dirname "$library")"
  cp -L "$library" "$staging/$library"
done
# The rules: the default permissions (an sg node belongs to root and the disk group), the
# package's own rule with its probe where udev looks for programs, and the seat's grant.
for rule in 50-udev-default.rules 73-seat-late.rules; do
  file=$(find_unpacked "udev/rules.d/$rule")
  [ -n "$file" ] || fail "Debian's udev and systemd packages hold no $rule"
  cp "$file" "$staging/lib/udev/rules.d/"
done
cp "$repo/packaging/60-q71xfwtool.rules" "$staging/lib/udev/rules.d/"
stage_program "$probe" q71x-bridge-probe
mv "$staging/bin/q71x-bridge-probe" "$staging/lib/udev/q71x-bridge-probe"
# The seat's user: not root, in no group that owns a disk.
printf '%s\n' 'root:x:0:0:root:/root:/bin/sh' 'seat:x:1000:1000:seat user:/tmp:/bin/sh' \
  >"$staging/etc/passwd"
printf '%s\n' 'root:x:0:' 'disk:x:6:' 'cdrom:x:24:' 'seat:x:1000:' >"$staging/etc/group"
for module in "${wanted_modules[@]}"; do
  line=$(grep -E "(^|/)${module}\.ko:" "$modules/modules.dep" || true)
  [ -n "$line" ] || fail "kernel $kernel_version has no module $module"
  for file in ${line/:/}; do
    mkdir -p "$staging/lib/modules/$kernel_version/$(dirname "$file")"
    cp "$modules/$file" "$staging/lib/modules/$kernel_version/$file"
  done
done
"$busybox" depmod -b "$staging" "$kernel_version"
cp "$repo/gadget/vm/init" "$staging/init"
chmod +x "$staging/init"
printf '%s\n' "${wanted_modules[@]}" >"$staging/etc/q71x-modules"
(cd "$staging" && find . | cpio -o -H newc --quiet) | gzip -1 >"$work_dir/initramfs.cpio.gz"
log "initramfs ready: kernel $kernel_version, $(du -h "$work_dir/initramfs.cpio.gz" | cut -f1)," \
  "$((SECONDS - started)) s so far"

# --- the run ----------------------------------------------------------------------------------
console=$work_dir/console.log
set +e
timeout --kill-after=10 "$vm_timeout" qemu-system-x86_64 -accel tcg -m 1024 -smp 1 \
  -nographic -no-reboot -nic none \
  -kernel "$kernel_root/boot/vmlinuz-$kernel_version" -initrd "$work_dir/initramfs.cpio.gz" \
  -append "console=ttyS0 rdinit=/init panic=-1 quiet loglevel=4 q71x.guest_timeout=$guest_timeout" \
  </dev/null 2>&1 | tr -d '\r' | tee "$console"
qemu_status=${PIPESTATUS[0]}
set -e

guest_exit=$(sed -n 's/^q71x-guest-exit=\([0-9]*\)$/\1/p' "$console" | tail -n1)
passed=$(grep -c '^PASS ' "$console" || true)
failed=$(grep -c '^FAIL ' "$console" || true)
echo
log "the machine ran $((SECONDS - started)) s in all (qemu status $qemu_status)"
if [ -z "$guest_exit" ]; then
  [ "$qemu_status" -eq 124 ] && log "qemu was stopped after $vm_timeout s"
  fail "the guest test did not finish; console log: $console"
fi
echo "vm: $passed passed, $failed failed"
[ "$guest_exit" -eq 0 ] && [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ] ||
  fail "the guest test reported failures (exit $guest_exit)"
log "all checks passed"
