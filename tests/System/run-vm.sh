#!/bin/bash
# Boots Debian's kernel in QEMU on this machine's root (read-only over 9p,
# under a tmpfs overlay) with systemd as PID 1, and runs the system test's
# checks in it (guest_checks.py). Prints each check by name with pass or
# fail; exits 0 only when every check ran and passed.
#
# Usage: tests/System/run-vm.sh <packages folder> <Passthrough program> <output folder>
# The packages are scripts/package.sh's; the output folder gets console.log,
# share/results, share/latency.json, and the guest's journal as
# share/journal.txt when a check failed (or always, with
# HALVORIN_SYSTEM_TEST_JOURNAL=always).
set -euo pipefail

usage="usage: run-vm.sh <packages folder> <Passthrough program> <output folder>"
here=$(cd "$(dirname "$0")" && pwd)
packages=$(cd "${1:?$usage}" && pwd)
passthrough=$(realpath "${2:?$usage}")
out=$(realpath -m "${3:?$usage}")
cache="${HALVORIN_SYSTEM_TEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/halvorin-system-test}"
# Bounds: the guest's checks, and the whole VM (boot and power-off included).
checks_timeout=240
vm_timeout=300

fail() {
    echo "system-test: FAIL: $*" >&2
    exit 1
}

# The kernel package that linux-image-amd64 depends on now; Debian drops
# superseded versions, so it is resolved afresh on every run.
resolve_kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        awk '$1 == "Depends:" && $2 ~ /^linux-image-/ { print $2; exit }'
}

# Downloads and unpacks the kernel package into the cache once, runs depmod
# and extracts the uncompressed vmlinux (booted directly through PVH). Sets
# `kernel_tree` and `release`.
prepare_kernel() {
    mkdir -p "$cache"
    local package version tree
    package=$(resolve_kernel_package)
    if [[ -z $package ]] || ! apt-cache show "$package" > /dev/null 2>&1; then
        apt-get update -qq > /dev/null 2>&1 || true
        package=$(resolve_kernel_package)
    fi
    if [[ -n $package ]]; then
        version=$(apt-cache show --no-all-versions "$package" | awk '/^Version:/ { print $2; exit }')
        tree="$cache/${package}_$version"
        if [[ ! -e $tree/ready ]]; then
            echo "system-test: fetching $package $version into $cache"
            if ! (cd "$cache" && apt-get download "$package" 2> /dev/null) &&
                ! (apt-get update -qq > /dev/null 2>&1 && cd "$cache" && apt-get download "$package"); then
                tree=""
            fi
        fi
    fi
    if [[ -n ${tree:-} && ! -e $tree/ready ]]; then
        local deb
        deb=$(ls "$cache/${package}_"*.deb | tail -n 1)
        rm -rf "$tree" && mkdir -p "$tree/root"
        dpkg-deb -x "$deb" "$tree/root"
        release=$(ls "$tree/root/lib/modules")
        depmod -b "$tree/root" "$release"
        local image="$tree/root/boot/vmlinuz-$release" offset
        # The bzImage holds the kernel as one xz stream.
        offset=$(LC_ALL=C grep -aboP '\xfd7zXZ\x00' "$image" | head -n 1 | cut -d: -f1)
        xz -dc --single-stream < <(tail -c +$((offset + 1)) "$image") > "$tree/vmlinux"
        echo "$release" > "$tree/ready"
        # Older kernels are not booted again.
        find "$cache" -mindepth 1 -maxdepth 1 ! -name "${tree##*/}" ! -name "$(basename "$deb")" \
            -exec rm -rf {} +
    fi
    if [[ -z ${tree:-} || ! -e $tree/ready ]]; then
        # Offline: the newest kernel fetched before, if any.
        tree=$(ls -d "$cache"/linux-image-*/ 2> /dev/null | sort -V | tail -n 1)
        tree=${tree%/}
        [[ -n $tree && -e $tree/ready ]] ||
            fail "no kernel: linux-image-amd64 could not be resolved or downloaded, and $cache holds none"
        echo "system-test: linux-image-amd64 could not be fetched; booting the cached ${tree##*/}"
    fi
    kernel_tree=$tree
    release=$(cat "$tree/ready")
}

# busybox, the modules that reach the root (virtio-pci, 9p, overlay), and
# what the guest's root gets on top of this machine's (seed-root.sh).
build_initramfs() {
    local folder="$out/initramfs" index=10 module seen=" "
    rm -rf "$folder" && mkdir -p "$folder"/{bin,modules,proc,sys,dev}
    "$here/seed-root.sh" "$folder/seed" "$checks_timeout"
    cp /bin/busybox "$folder/bin/busybox"
    cp "$here/initramfs-init.sh" "$folder/init"
    chmod 755 "$folder/init"
    for module in $(modprobe -d "$kernel_tree/root" -S "$release" --show-depends \
        -a virtio_pci 9pnet_virtio 9p overlay | awk '$1 == "insmod" { print $2 }'); do
        [[ $seen == *" $module "* ]] && continue
        seen+="$module "
        cp "$module" "$folder/modules/$index-$(basename "$module")"
        index=$((index + 1))
    done
    (cd "$folder" && find . | busybox cpio -o -H newc 2> /dev/null) > "$out/initramfs.cpio"
}

# KVM where it boots this kernel (a nested KVM may abort on a model-specific
# register), TCG otherwise.
choose_accelerator() {
    accelerator=(-accel tcg -cpu max)
    [[ -w /dev/kvm ]] || return 0
    local probe
    probe=$(timeout 20 qemu-system-x86_64 -accel kvm -cpu host -smp 1 -m 256 -nodefaults \
        -no-reboot -display none -serial stdio -monitor none -kernel "$kernel_tree/vmlinux" \
        -initrd "$out/initramfs.cpio" -append "console=ttyS0 quiet rdinit=/init halvorin.probe" \
        < /dev/null 2>&1 || true)
    if [[ $probe == *"the accelerator works"* ]]; then
        accelerator=(-accel kvm -cpu host)
    fi
}

boot() {
    local share="$out/share"
    mkdir -p "$share"
    local cmdline=(
        console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init
        systemd.unit=halvorin-system-test.target systemd.show_status=0
        "halvorin.out=$share" "halvorin.system=$here" "halvorin.packages=$packages"
        "halvorin.passthrough=$passthrough"
        "halvorin.modules=$kernel_tree/root/lib/modules" "halvorin.release=$release"
        "halvorin.journal=${HALVORIN_SYSTEM_TEST_JOURNAL:-on-failure}"
    )
    timeout --kill-after=5 "$vm_timeout" qemu-system-x86_64 \
        "${accelerator[@]}" -smp 1 -m 1024 -nodefaults -no-reboot -display none \
        -serial stdio -monitor none \
        -kernel "$kernel_tree/vmlinux" -initrd "$out/initramfs.cpio" -append "${cmdline[*]}" \
        -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
        -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
        -fsdev local,id=out,path="$share",security_model=none \
        -device virtio-9p-pci,fsdev=out,mount_tag=out \
        < /dev/null
}

# The guest's root is this machine's root, read through QEMU as this user.
[[ $(id -u) -eq 0 ]] || fail "run the system test as root: the VM reads this machine's whole root"
rm -rf "$out" && mkdir -p "$out"
prepare_kernel
build_initramfs
choose_accelerator
echo "system-test: booting $release (${accelerator[1]})"
started=$SECONDS
set +e
boot 2>&1 | tr -d '\r' | tee "$out/console.log" | sed -un 's/^.*halvorin-system-test: //p'
status=${PIPESTATUS[0]}
set -e
echo "system-test: the VM ran $((SECONDS - started)) s"
((status != 124 && status != 137)) || fail "the VM did not finish within $vm_timeout s (see $out/console.log)"

results="$out/share/results"
[[ -f $results ]] && grep -qx end "$results" ||
    fail "the checks did not finish: the VM did not boot or stopped early (see $out/console.log)"
if grep -q '^fail' "$results"; then
    echo "system-test: failed; the guest's journal is in $out/share/journal.txt" >&2
    exit 1
fi
