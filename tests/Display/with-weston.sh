#!/bin/sh
# Runs a program as a client of a private weston on its headless backend, with
# the test module's keyboard fed from the FIFO named in HALVORIN_WESTON_KEYS,
# and stops the compositor after it. The pixman renderer and --debug let
# weston-screenshooter read the screen.
# Usage: with-weston.sh <weston-keys module> <program> [arguments...]
set -eu
command -v weston >/dev/null || { echo "FAIL: weston is not installed (scripts/bootstrap.sh)" >&2; exit 1; }
module=$1
shift
folder=$(mktemp -d)
chmod 700 "$folder"
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$folder"' EXIT
mkfifo "$folder/keys"
export XDG_RUNTIME_DIR="$folder" WAYLAND_DISPLAY=wayland-test HALVORIN_WESTON_KEYS="$folder/keys"
weston --backend=headless-backend.so --use-pixman --debug --socket=wayland-test --idle-time=0 \
    --modules="$module" --log="$folder/log" &
server=$!
for _ in $(seq 100); do
    [ -S "$folder/wayland-test" ] && break
    sleep 0.1
done
[ -S "$folder/wayland-test" ] || { echo "FAIL: weston did not start" >&2; cat "$folder/log" >&2; exit 1; }
"$@" || { status=$?; echo "--- the server's log:" >&2; cat "$folder/log" >&2; exit $status; }
