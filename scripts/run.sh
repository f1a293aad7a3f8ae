#!/usr/bin/env bash
# The suite's main job: installs what is missing, builds, and runs the driver
# demonstration on the simulation backend.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target DriverDemo
build/dev/Project/Tools/DriverDemo/DriverDemo "$@"
