#!/bin/bash
# Prepares the guest's root (the host's root under a tmpfs overlay) before
# systemd starts on it; run by the initramfs in a chroot. Every change lands in
# the overlay only. Argument: the kernel command line.
set -euo pipefail
export PATH=/usr/sbin:/usr/bin:/sbin:/bin

argument() {
    local word
    for word in $1; do
        [[ $word == "$2="* ]] && echo "${word#*=}"
    done
    return 0
}
here=$(argument "$1" halvorin.system)
modules=$(argument "$1" halvorin.modules)
release=$(argument "$1" halvorin.release)
user=halvorin-user
other=halvorin-other

# The host's root may be a container's: systemd would then ignore the unit
# chosen on the command line.
rm -f /.dockerenv /run/.containerenv

# The kernel's modules, from the kernel package the VM boots.
mkdir -p "/usr/lib/modules/$release"
mount --bind -o ro "$modules/$release" "/usr/lib/modules/$release"
# The emulated CPU offers virtualisation; loading kvm only costs time.
printf 'blacklist kvm\nblacklist kvm_intel\nblacklist kvm_amd\n' \
    > /etc/modprobe.d/halvorin-system-test.conf

# The session's user, and a second user who has no session.
for name in "$user" "$other"; do
    id "$name" > /dev/null 2>&1 || useradd --create-home --shell /bin/bash "$name"
done

# Units that cannot work on this root or only slow the boot.
masked=(
    systemd-remount-fs.service systemd-fsck-root.service systemd-fsckd.socket
    systemd-firstboot.service first-boot-complete.target systemd-machine-id-commit.service
    systemd-hwdb-update.service ldconfig.service systemd-journal-catalog-update.service
    systemd-update-done.service systemd-timesyncd.service systemd-pstore.service
    systemd-binfmt.service proc-sys-fs-binfmt_misc.automount sys-kernel-debug.mount
    sys-kernel-tracing.mount dev-hugepages.mount sys-fs-fuse-connections.mount
    modprobe@drm.service serial-getty@ttyS0.service getty-static.service
    e2scrub_reap.service postgresql.service packagekit.service packagekit-offline-update.service
    systemd-tmpfiles-clean.timer
)
for timer in /usr/lib/systemd/system/*.timer /etc/systemd/system/timers.target.wants/*.timer; do
    [[ -e $timer ]] && masked+=("${timer##*/}")
done
for unit in "${masked[@]}"; do
    ln -sf /dev/null "/etc/systemd/system/$unit"
done
mkdir -p /etc/systemd/system-generators /etc/systemd/user-generators
for generator in /usr/lib/systemd/system-generators/* /usr/lib/systemd/user-generators/*; do
    ln -sf /dev/null "/etc/systemd/${generator#/usr/lib/systemd/}"
done

# The session: the user logged in on tty1 by the getty, as at a console.
mkdir -p /etc/systemd/system/getty@tty1.service.d
cat > /etc/systemd/system/getty@tty1.service.d/autologin.conf <<EOF
[Service]
ExecStart=
ExecStart=-/sbin/agetty --autologin $user --noclear %I linux
EOF

# What the test boots into: the session and the checks, nothing else. polkitd
# runs from the start, as on a desktop, whose authentication agent starts it
# at login.
cat > /etc/systemd/system/halvorin-system-test.target <<EOF
[Unit]
Description=Halvorin system test
Requires=basic.target
Wants=getty@tty1.service systemd-logind.service polkit.service halvorin-system-test.service
Wants=halvorin-system-test-install.service
After=basic.target
AllowIsolate=yes
EOF
# The suite is installed on the running system before the user logs in, as
# after an install and a reboot; the checks read how it went.
cat > /etc/systemd/system/halvorin-system-test-install.service <<EOF
[Unit]
Description=Halvorin system test: the suite installed
After=basic.target systemd-udevd.service
Before=systemd-user-sessions.service getty@tty1.service halvorin-system-test.service

[Service]
Type=oneshot
ExecStart=/usr/bin/python3 $here/guest_checks.py install
StandardOutput=journal+console
StandardError=journal+console
EOF
cat > /etc/systemd/system/halvorin-system-test.service <<EOF
[Unit]
Description=Halvorin system test checks
After=basic.target systemd-logind.service getty@tty1.service
SuccessAction=poweroff-force
FailureAction=poweroff-force

[Service]
Type=oneshot
ExecStart=/usr/bin/python3 $here/guest_checks.py
StandardOutput=journal+console
StandardError=journal+console
TimeoutStartSec=$(argument "$1" halvorin.timeout)
EOF

# The journal stays in memory: nothing is kept after the VM ends.
mkdir -p /etc/systemd/journald.conf.d
printf '[Journal]\nStorage=volatile\n' > /etc/systemd/journald.conf.d/halvorin-system-test.conf
