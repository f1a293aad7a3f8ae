#!/bin/sh
# Installs the build into a temporary root that already holds other people's
# files, runs the uninstall script the install wrote, and checks that the root
# is exactly as before and that the progress lines count up to their total.
# Twice: into a prefix that exists and holds a foreign file in the suite's own
# folder, and into a fresh prefix installed twice over, whose folders must all
# go again.
# Usage: UninstallScriptRoundTrip.sh <cmake> <build folder>
set -eu
cmake=$1
build=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

snapshot() {
    (cd "$root" && find . -type d && find . ! -type d -exec sha256sum {} +) | LC_ALL=C sort
}

# round_trip <prefix> <number of installs>
round_trip() {
    prefix=$1
    snapshot >"$work/before"
    round=0
    while [ "$round" -lt "$2" ]; do
        round=$((round + 1))
        "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
            { cat "$work/install.log" >&2; fail "install $round into $prefix failed"; }
    done
    # The files installed (folders installed whole are listed too).
    installed=$(sed -n 's/^-- \(Installing\|Up-to-date\): //p' "$work/install.log" |
                while IFS= read -r path; do [ -d "$path" ] || echo "$path"; done | wc -l)
    [ "$installed" -ge 2 ] || fail "expected at least the uninstaller and its script"
    script="$prefix/share/halvorin/Uninstaller/uninstall.sh"
    [ -f "$script" ] || fail "no $script"
    grep -q "^remove_file '$prefix/libexec/halvorin/Uninstaller'\$" "$script" ||
        fail "script lacks the program"
    ! grep "^remove_file '$prefix/bin/" "$script" | grep -vq "/bin/halvorinctl'\$" ||
        fail "a program other than halvorinctl went onto PATH"
    # The driver host's system files sit where the system daemons read them,
    # below the root that holds the prefix.
    if grep -q "^remove_file '$prefix/libexec/halvorin/halvorin-driverd'\$" "$script"; then
        for file in etc/systemd/system/halvorin-driverd.service \
                    etc/udev/rules.d/70-halvorin-driverd.rules \
                    etc/modules-load.d/halvorin-uinput.conf \
                    etc/halvorin/halvorin.conf \
                    etc/dbus-1/system.d/org.halvorin.Driver1.conf \
                    usr/local/share/dbus-1/system-services/org.halvorin.Driver1.service \
                    usr/share/polkit-1/actions/org.halvorin.driver1.policy; do
            [ -f "$root/$file" ] || fail "the install did not put $file in place"
            grep -q "^remove_file '$root/$file'\$" "$script" || fail "script lacks $file"
        done
    fi

    sh "$script" >"$work/out" 2>"$work/err" || fail "the script failed: $(cat "$work/err")"
    [ ! -s "$work/err" ] || fail "the script complained: $(cat "$work/err")"
    awk -F '[:/]' '
        /^PROGRESS:/ { n++; if ($2 != n) bad = 1; total = $3 }
        END { exit (bad || n == 0 || n != total) }' "$work/out" ||
        fail "bad progress lines: $(grep PROGRESS "$work/out" | tr '\n' ' ')"
    [ "$(grep -c '^Removing /' "$work/out")" -ge "$installed" ] || fail "files went unreported"

    snapshot >"$work/after"
    diff "$work/before" "$work/after" >&2 || fail "$prefix: the root differs from before"
    echo "$prefix: removed all $installed installed files and nothing else"
}

settings="$root/home/someone/.local/share/Halvorin/OrvandelSettings.xml"
mkdir -p "$root/usr/local/bin" "$root/usr/local/share/halvorin" "$(dirname "$settings")" "$root/opt"
echo "not ours" >"$root/usr/local/bin/someone-elses-tool"
echo "not ours either" >"$root/usr/local/share/halvorin/admin-notes.txt"
echo "<settings/>" >"$settings"

round_trip "$root/usr/local" 1
round_trip "$root/opt/halvorin" 2
