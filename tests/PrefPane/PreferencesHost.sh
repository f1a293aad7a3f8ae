#!/bin/sh
# Starts the Preferences host in a throw-away home, off screen: the pane plugin
# must load, and both closing the window after its first paint and SIGTERM
# must unselect the pane, which writes the settings file.
# A host that hangs is ended by the test's timeout.
# Usage: PreferencesHost.sh <Preferences program>
set -eu
program=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
settings="$home/.local/share/Halvorin/OrvandelSettings.xml"
# No session bus: the pane must not reach the machine's agent.
export HOME="$home" XDG_DATA_HOME= XDG_CONFIG_HOME= QT_QPA_PLATFORM=offscreen \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus" \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

timeout 60 "$program" --quit-after-first-paint
[ -f "$settings" ] || { echo "FAIL: the settings file was not written on close" >&2; exit 1; }

rm "$settings"
"$program" &
host=$!
# SIGTERM is sent once the host has blocked it (bit 15 of the main thread's
# blocked set); from then on it is read, not fatal, even before the loop runs.
until [ $(( 0x$(sed -n 's/^SigBlk:[[:space:]]*//p' "/proc/$host/status") & 0x4000 )) -ne 0 ]; do
    sleep 0.05
done
kill -TERM "$host"
status=0
wait "$host" || status=$?
[ "$status" -eq 0 ] || { echo "FAIL: SIGTERM ended the host with status $status" >&2; exit 1; }
[ -f "$settings" ] || { echo "FAIL: the settings file was not written on SIGTERM" >&2; exit 1; }
