#!/usr/bin/env bash
# The system test: builds the Debian packages (scripts/package.sh) and the
# passthrough the latency is compared with, boots Debian's kernel in QEMU with
# systemd, a logged-in user and a USB gadget mouse, installs the packages there
# and runs the checks (tests/System/). Prints each check with pass or fail;
# exit status 0 only when all passed. Run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh --system-test
scripts/package.sh
cmake --preset dev
cmake --build --preset dev --target Passthrough
ctest --preset system
