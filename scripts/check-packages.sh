#!/usr/bin/env bash
# Checks the Debian packages that scripts/package.sh left in build/packages/,
# building nothing:
#   - lintian reports no error and no warning (each accepted warning is
#     overridden in debian/<package>.lintian-overrides with its reason);
#   - a round trip on this machine (root): the packages are installed with
#     dpkg, twice so that every maintainer script runs again; the installed
#     menu entry, software centre description and units are validated
#     (desktop-file-validate, appstreamcli validate --no-net,
#     systemd-analyze verify); the Uninstaller's script removes the packages
#     through apt-get, which leaves nothing below /usr; purging them leaves
#     the system's file list exactly as before, users' data aside. dpkg stops
#     at any maintainer script that does not exit 0.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh --packaging

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
names=(halvorin-driverd halvorin halvorin-tools)
debs=()
for name in "${names[@]}"; do
  deb=$(ls build/packages/"${name}"_*.deb 2>/dev/null || true)
  [[ -f $deb ]] || { echo "check-packages: no $name package; run scripts/package.sh" >&2; exit 1; }
  debs+=("$deb")
done
work=$(mktemp -d)
# A failed check leaves no package behind either.
trap '$sudo dpkg --purge "${names[@]}" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

fail() {
  echo "check-packages: FAIL: $*" >&2
  exit 1
}
step() { echo "== $*"; }

step "lintian"
lintian --fail-on error,warning "${debs[@]}"

# Every path on the root file system but users' data, logs, caches, the
# daemons' run-time state, the build workspace (/work) and this tree.
snapshot() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
         -o -path /var/tmp -o -path /home -o -path /root -o -path /var/log -o -path /var/cache \
         -o -path /work \
         -o -path "$PWD" \) -prune -o -print | LC_ALL=C sort
}

installed() {
  for name in "${names[@]}"; do
    if dpkg-query -W -f='${db:Status-Abbrev}' "$name" 2>/dev/null | grep -q '^.i'; then
      return 0
    fi
  done
  return 1
}

step "round trip: install, remove with the Uninstaller's script, purge"
if { dpkg-query -W -f='${Package}\n' "${names[@]}" 2>/dev/null || true; } | grep -q .; then
  trap 'rm -rf "$work"' EXIT
  fail "the packages are on this machine already; purge them first (apt purge ${names[*]})"
fi
snapshot >"$work/before"
$sudo dpkg -i "${debs[@]}" || fail "dpkg could not install the packages"
# The administrator's vendor id outlives a reinstall of the same version.
edit='VendorId=0x1234'
echo "$edit" | $sudo tee -a /etc/halvorin/halvorin.conf >/dev/null
$sudo dpkg -i --force-confold "${debs[@]}" >/dev/null ||
  fail "dpkg could not install the packages again"
grep -qxF "$edit" /etc/halvorin/halvorin.conf || fail "installing again lost the edit of halvorin.conf"
[[ -z $($sudo dpkg --audit) ]] || fail "dpkg --audit: $($sudo dpkg --audit)"

! dpkg -L "${names[@]}" | grep -E '^/usr/(s?bin|games)/' | grep -vx /usr/bin/halvorinctl ||
  fail "a program other than halvorinctl went onto PATH"
dpkg-query -W -f='${Conffiles}\n' halvorin-driverd | grep -q '^ /etc/halvorin/halvorin.conf ' ||
  fail "/etc/halvorin/halvorin.conf is no conffile"
desktop-file-validate /usr/share/applications/halvorin-preferences.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.halvorin.preferences.metainfo.xml
systemd-analyze verify /usr/lib/systemd/system/halvorin-driverd.service
mkdir -m 0700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify \
  /usr/lib/systemd/user/halvorin-agent.service

$sudo sh /usr/share/halvorin/Uninstaller/uninstall.sh >"$work/uninstall" 2>&1 ||
  { cat "$work/uninstall" >&2; fail "the Uninstaller's script failed"; }
tail -n 2 "$work/uninstall" | grep -q '^PROGRESS:100/100$' || fail "the removal did not end its progress"
! installed || fail "packages still installed after the Uninstaller's script"
snapshot >"$work/removed"
left=$(comm -13 "$work/before" "$work/removed")
! grep '^/usr/' <<<"$left" || fail "removing the packages left the files above behind"
echo "left until the purge: ${left//$'\n'/ }"

$sudo dpkg --purge "${names[@]}" || fail "dpkg could not purge the packages"
snapshot >"$work/after"
diff "$work/before" "$work/after" || fail "the file list differs from before the install"
echo "check-packages: all checks passed"
