#!/bin/sh
# The uninstall script of a package install, with stand-ins of dpkg-query and
# apt-get on PATH: it removes the installed packages of the suite in one call
# of the package manager, turns apt's progress into PROGRESS lines, shows
# apt's own lines and errors on its output, and says so when the removal
# failed.
# Usage: PackageUninstallScript.sh <uninstall-packages.sh>
set -eu
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
for package; do :; done
grep -qx "$package" "$STATE/installed" && { printf 'ii '; exit 0; }
echo "dpkg-query: no packages found matching $package" >&2
exit 1
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "$*" >"$STATE/apt-args"
if [ -e "$STATE/fail" ]; then
    echo "E: Could not get lock /var/lib/dpkg/lock-frontend" >&2
    exit 100
fi
for word; do
    if grep -qx "$word" "$STATE/installed"; then
        echo "Removing $word (1.1.0) ..."
        echo "pmstatus:$word:50:Removing $word" >&3
    fi
done
: >"$STATE/installed"
STUB
chmod +x "$work/bin/dpkg-query" "$work/bin/apt-get"
export STATE="$work" PATH="$work/bin:$PATH"

fail() {
    echo "FAIL: $*" >&2
    cat "$work/out" >&2
    exit 1
}

# run <expected status> <installed packages...>
run() {
    expected=$1
    shift
    printf '%s\n' "$@" >"$work/installed"
    rm -f "$work/apt-args"
    status=0
    sh "$script" >"$work/out" 2>"$work/err" || status=$?
    [ "$status" -eq "$expected" ] || fail "exit status $status, expected $expected"
    [ ! -s "$work/err" ] || fail "wrote to standard error: $(cat "$work/err")"
}

run 0 halvorin-driverd halvorin halvorin-tools
[ "$(cat "$work/apt-args")" = "remove --yes -o APT::Status-Fd=3 halvorin-tools halvorin halvorin-driverd" ] ||
    fail "apt-get was called with: $(cat "$work/apt-args")"
[ "$(grep -c '^Removing halvorin' "$work/out")" -eq 3 ] || fail "apt's lines are not shown"
[ "$(grep '^PROGRESS:' "$work/out" | tr '\n' ' ')" = \
  "PROGRESS:50/100 PROGRESS:50/100 PROGRESS:50/100 PROGRESS:100/100 " ] || fail "progress lines"
tail -n 1 "$work/out" | grep -q "has been removed" || fail "no closing line"

run 0 halvorin-driverd
[ "$(cat "$work/apt-args")" = "remove --yes -o APT::Status-Fd=3 halvorin-driverd" ] ||
    fail "apt-get was called with: $(cat "$work/apt-args")"

run 0
[ ! -e "$work/apt-args" ] || fail "apt-get was called with nothing to remove"
grep -q '^PROGRESS:1/1$' "$work/out" || fail "no progress to the end"

touch "$work/fail"
run 1 halvorin halvorin-driverd
grep -q '^E: Could not get lock' "$work/out" || fail "apt's error is not shown"
grep -q '^Could not remove halvorin halvorin-driverd;' "$work/out" || fail "the failure is not said"
! grep -q 'PROGRESS:100/100' "$work/out" || fail "a failure ends its progress"
echo "the package uninstall script removes through apt-get and reports what it did"
