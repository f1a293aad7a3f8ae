#!/bin/sh
# Installs the build into a fresh prefix inside a temporary root that already
# holds other people's files, runs the uninstall script the install wrote, and
# checks that the root is exactly as before and the progress lines count up.
# Usage: UninstallScriptRoundTrip.sh <cmake> <build folder>
set -eu
cmake=$1
build=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
prefix="$root/usr/local"
settings="$root/home/someone/.local/share/Halvorin/OrvandelSettings.xml"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

mkdir -p "$prefix/bin" "$prefix/share/halvorin" "$(dirname "$settings")"
echo "not ours" >"$prefix/bin/someone-elses-tool"
echo "not ours either" >"$prefix/share/halvorin/admin-notes.txt"
echo "<settings/>" >"$settings"

snapshot() {
    (cd "$root" && find . -type d && find . ! -type d -exec sha256sum {} +) | LC_ALL=C sort
}
snapshot >"$work/before"

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "install failed"; }
installed=$(grep -c -- '-- Installing: ' "$work/install.log" || true)
[ "$installed" -ge 2 ] || fail "expected at least the uninstaller and its script to be installed"
script="$prefix/share/halvorin/Uninstaller/uninstall.sh"
[ -f "$script" ] || fail "no $script"
grep -q "^remove_file '$prefix/bin/Uninstaller'\$" "$script" || fail "the script does not list the uninstaller"

sh "$script" >"$work/out" 2>"$work/err" || fail "the script failed: $(cat "$work/err")"
[ ! -s "$work/err" ] || fail "the script complained: $(cat "$work/err")"

# PROGRESS lines count 1, 2, ... up to their total, which they reach.
awk -F '[:/]' '
    /^PROGRESS:/ { n++; if ($2 != n) bad = 1; total = $3 }
    END { exit (bad || n == 0 || n != total) }' "$work/out" ||
    fail "bad progress lines: $(grep PROGRESS "$work/out" | tr '\n' ' ')"
[ "$(grep -c '^Removing ' "$work/out")" -ge "$installed" ] || fail "not every file was reported"

snapshot >"$work/after"
diff "$work/before" "$work/after" >&2 || fail "the root differs from before the install"
echo "uninstall removed all $installed installed files and nothing else"
