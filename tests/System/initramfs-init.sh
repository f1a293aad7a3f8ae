#!/bin/busybox sh
# /init of the system test's initramfs (busybox): the host's root read-only
# over 9p under a tmpfs overlay with the test's additions on top, then systemd.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
exec < /dev/console > /dev/console 2>&1

cmdline=$(cat /proc/cmdline)

fail() {
    echo "halvorin-system-test: initramfs: $*" >&2
    poweroff -f
}

argument() {
    for word in $cmdline; do
        case "$word" in "$1="*) echo "${word#*=}" ;; esac
    done
}

# A probe of the accelerator only needs to reach this point.
case " $cmdline " in *" halvorin.probe "*)
    echo "halvorin-system-test: the accelerator works"
    poweroff -f ;;
esac

for module in /modules/*.ko; do
    insmod "$module" || fail "cannot load $module"
done

mkdir -p /lower /layer /newroot
mount -t 9p -o trans=virtio,version=9p2000.L,cache=loose,ro hostroot /lower ||
    fail "cannot mount the host's root over 9p"
mount -t tmpfs -o mode=0755 layer /layer
mkdir -p /layer/upper /layer/work
# What the test puts on top of the host's root (seed-root.sh).
cp -a /seed/. /layer/upper/
mount -t overlay -o lowerdir=/lower,upperdir=/layer/upper,workdir=/layer/work overlay /newroot ||
    fail "cannot mount the overlay"
mount --move /dev /newroot/dev
mount --move /proc /newroot/proc
mount --move /sys /newroot/sys
for folder in run tmp var/tmp dev/shm; do
    mkdir -p "/newroot/$folder"
done
mount -t tmpfs -o mode=0755,nosuid,nodev run /newroot/run
# The layers stay visible, so that the test can tell what changed on the root.
mkdir -p /newroot/run/halvorin-overlay/upper /newroot/run/halvorin-overlay/lower
mount --bind /layer/upper /newroot/run/halvorin-overlay/upper
mount --bind -o ro /lower /newroot/run/halvorin-overlay/lower
mount -t tmpfs -o mode=1777,nosuid,nodev tmp /newroot/tmp
mount -t tmpfs -o mode=1777,nosuid,nodev vartmp /newroot/var/tmp
mount -t tmpfs -o mode=1777,nosuid,nodev shm /newroot/dev/shm

out=$(argument halvorin.out)
mkdir -p "/newroot$out"
mount -t 9p -o trans=virtio,version=9p2000.L,cache=none out "/newroot$out" ||
    fail "cannot mount the output folder"

# The kernel's modules, from the kernel package the VM boots.
release=$(argument halvorin.release)
mkdir -p "/newroot/usr/lib/modules/$release"
mount --bind -o ro "/newroot$(argument halvorin.modules)/$release" "/newroot/usr/lib/modules/$release" ||
    fail "cannot reach the kernel's modules"
exec switch_root /newroot /lib/systemd/systemd
