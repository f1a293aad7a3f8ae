#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing.
# With --packaging also the tools that build and check the suite's own Debian
# packages, and what those packages need at run time (scripts/package.sh,
# scripts/check-packages.sh); with --system-test what the system test's virtual
# machine needs besides (scripts/system-test.sh).
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev nlohmann-json3-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libxkbcommon-dev
  pkexec
  libsystemd-dev libevdev-dev libudev-dev
  umockdev libumockdev-dev dbus-daemon python3-dbusmock systemd
  xvfb libxcb-xtest0-dev x11proto-dev weston qt6-wayland libweston-10-dev
)
if [[ ${1:-} == --packaging ]]; then
  packages+=(debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream
             dbus polkitd udev init-system-helpers)
fi
# The system test's VM: QEMU, Debian's kernel unpacked with depmod, a busybox
# initramfs, and the guest's udev, polkit, session bus and Python on this
# machine's root.
if [[ ${1:-} == --system-test ]]; then
  packages+=(qemu-system-x86 busybox-static kmod xz-utils udev polkitd dbus-user-session
             libpam-systemd python3)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
