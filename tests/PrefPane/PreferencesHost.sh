#!/bin/sh
# Starts the Preferences host in a throw-away home, off screen, until its
# window's first paint: the pane plugin must load, and closing the window must
# unselect the pane, which writes the settings file.
# Usage: PreferencesHost.sh <Preferences program>
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# No session bus: the pane must not reach the machine's agent.
HOME="$home" XDG_DATA_HOME= XDG_CONFIG_HOME= QT_QPA_PLATFORM=offscreen \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus" \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
    timeout 60 "$1" --quit-after-first-paint
[ -f "$home/.local/share/Halvorin/OrvandelSettings.xml" ] ||
    { echo "FAIL: the settings file was not written on close" >&2; exit 1; }
