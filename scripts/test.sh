#!/usr/bin/env bash
# Installs what is missing, builds the developer preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake --preset dev
cmake --build --preset dev
ctest --preset dev
