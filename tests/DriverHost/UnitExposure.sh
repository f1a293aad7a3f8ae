#!/bin/sh
# Rates the driver host's systemd unit with systemd-analyze's offline
# security check and fails when its exposure is above 2.0, or when it does
# not bound the memory, tasks and descriptors a flood of calls could claim.
# Usage: UnitExposure.sh <unit template>
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unit="$work/halvorin-driverd.service"
sed 's#@HALVORIN_DRIVERD_PATH@#/usr/libexec/halvorin/halvorin-driverd#' "$1" >"$unit"
if ! command -v systemd-analyze >/dev/null 2>&1; then
    echo "systemd-analyze is missing"
    exit 1
fi
for limit in MemoryHigh MemoryMax TasksMax LimitNOFILE; do
    grep -q "^$limit=" "$unit" || { echo "no $limit"; exit 1; }
done
systemd-analyze security --offline=true "$unit" >"$work/report" 2>&1 || true
level=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$work/report")
[ -n "$level" ] || { cat "$work/report"; echo "no exposure level"; exit 1; }
echo "exposure $level"
awk -v level="$level" 'BEGIN { exit !(level <= 2.0) }' || { cat "$work/report"; exit 1; }
