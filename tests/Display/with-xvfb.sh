#!/bin/sh
# Runs a program on a private Xvfb server and stops the server after it.
# Usage: with-xvfb.sh <program> [arguments...]
set -eu
command -v Xvfb >/dev/null || { echo "FAIL: Xvfb is not installed (scripts/bootstrap.sh)" >&2; exit 1; }
folder=$(mktemp -d)
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$folder"' EXIT
# -displayfd: the server picks a free display and writes its number when ready.
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp -noreset 3>"$folder/display" 2>"$folder/log" &
server=$!
for _ in $(seq 100); do
    [ -s "$folder/display" ] && break
    sleep 0.1
done
[ -s "$folder/display" ] || { echo "FAIL: Xvfb did not start" >&2; cat "$folder/log" >&2; exit 1; }
DISPLAY=:$(cat "$folder/display") "$@" || { status=$?; echo "--- the server's log:" >&2; cat "$folder/log" >&2; exit $status; }
