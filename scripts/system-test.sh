#!/usr/bin/env bash
# The system test: builds what the suite installs (release preset), boots
# Debian's kernel in QEMU with systemd, a logged-in user and a USB gadget
# mouse, installs the suite there and runs the checks (tests/System/).
# Prints each check with pass or fail; exit status 0 only when all passed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh system-test
cmake --preset release
cmake --build --preset release --target installable Passthrough
ctest --preset system
