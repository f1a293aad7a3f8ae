#!/bin/bash
# Writes what the guest's root gets on top of this machine's root, run on this
# machine when the initramfs is made: the initramfs copies it into the
# overlay's upper layer before systemd starts, so that nothing is spent on it
# in the slow guest. Usage: seed-root.sh <seed folder> <checks timeout (s)>
set -euo pipefail
seed=$1
timeout=$2
here=$(cd "$(dirname "$0")" && pwd)
user=halvorin-user
other=halvorin-other
mkdir -p "$seed"/{etc/systemd/system,etc/modprobe.d,etc/systemd/journald.conf.d,home}

# The host's root may be a container's: systemd would then ignore the unit
# chosen on the command line, and policy-rc.d would forbid the packages'
# scripts to start services. Whiteouts hide both. man-db's index is not
# rebuilt after each package either: over 9p that takes minutes.
mkdir -p "$seed/usr/sbin" "$seed/var/lib/man-db"
for hidden in .dockerenv usr/sbin/policy-rc.d var/lib/man-db/auto-update; do
    mknod "$seed/$hidden" c 0 0
done

# The emulated CPU offers virtualisation; loading kvm only costs time.
printf 'blacklist kvm\nblacklist kvm_intel\nblacklist kvm_amd\n' \
    > "$seed/etc/modprobe.d/halvorin-system-test.conf"
# The journal stays in memory.
printf '[Journal]\nStorage=volatile\n' > "$seed/etc/systemd/journald.conf.d/halvorin-system-test.conf"

# The session's user, and a second user who has no session: the first two
# free ids from 2001 on.
cp -p /etc/passwd /etc/group /etc/shadow /etc/gshadow "$seed/etc/"
uid=2000
for name in "$user" "$other"; do
    uid=$((uid + 1))
    while getent passwd "$uid" > /dev/null || getent group "$uid" > /dev/null; do
        uid=$((uid + 1))
    done
    if ! getent passwd "$name" > /dev/null; then
        echo "$name:x:$uid:$uid::/home/$name:/bin/bash" >> "$seed/etc/passwd"
        echo "$name:x:$uid:" >> "$seed/etc/group"
        echo "$name:!:19000:0:99999:7:::" >> "$seed/etc/shadow"
        echo "$name:!::" >> "$seed/etc/gshadow"
        install -d -m 700 -o "$uid" -g "$uid" "$seed/home/$name"
    fi
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
    systemd-sysusers.service systemd-random-seed.service systemd-journal-flush.service
    systemd-update-utmp.service systemd-update-utmp-runlevel.service modprobe@dm_mod.service
    modprobe@loop.service dev-mqueue.mount systemd-pcrphase.service
    systemd-pcrphase-sysinit.service systemd-ask-password-console.path
)
for timer in /usr/lib/systemd/system/*.timer /etc/systemd/system/timers.target.wants/*.timer; do
    [[ -e $timer ]] && masked+=("${timer##*/}")
done
for unit in "${masked[@]}"; do
    ln -sf /dev/null "$seed/etc/systemd/system/$unit"
done
mkdir -p "$seed/etc/systemd/system-generators" "$seed/etc/systemd/user-generators"
for generator in /usr/lib/systemd/system-generators/* /usr/lib/systemd/user-generators/*; do
    ln -sf /dev/null "$seed/etc/systemd/${generator#/usr/lib/systemd/}"
done

# The session: the user logged in on tty1 by the getty, as at a console.
mkdir -p "$seed/etc/systemd/system/getty@tty1.service.d"
cat > "$seed/etc/systemd/system/getty@tty1.service.d/autologin.conf" <<UNIT
[Service]
ExecStart=
ExecStart=-/sbin/agetty --autologin $user --noclear %I linux
UNIT

# What the test boots into: the session and the checks, nothing else. polkitd
# runs from the start, as on a desktop, whose authentication agent starts it
# at login.
cat > "$seed/etc/systemd/system/halvorin-system-test.target" <<UNIT
[Unit]
Description=Halvorin system test
Requires=basic.target
Wants=getty@tty1.service systemd-logind.service polkit.service halvorin-system-test.service
Wants=halvorin-system-test-install.service
After=basic.target
AllowIsolate=yes
UNIT
# The suite is installed on the running system while the user logs in; the
# checks read how it went.
cat > "$seed/etc/systemd/system/halvorin-system-test-install.service" <<UNIT
[Unit]
Description=Halvorin system test: the suite installed
After=basic.target systemd-udevd.service
Before=halvorin-system-test.service

[Service]
Type=oneshot
ExecStart=/usr/bin/python3 $here/guest_checks.py install
StandardOutput=journal+console
StandardError=journal+console
UNIT
cat > "$seed/etc/systemd/system/halvorin-system-test.service" <<UNIT
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
TimeoutStartSec=$timeout
UNIT
