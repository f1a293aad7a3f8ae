#!/usr/bin/env bash
# Builds the driver's concurrency test with ThreadSanitizer and runs it: the
# settings intake and the event path share the tables without a lock. Also the
# driver host's bus tests, whose bus side runs beside the event side.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan
