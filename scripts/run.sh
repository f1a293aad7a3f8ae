#!/usr/bin/env bash
# The suite's main job: installs what is missing, builds the simulation host
# and plays the default scenario on the simulation backend (driver instances,
# agent and pane in one process), printing what the system and the pane see.
# Another scenario may be given: scripts/run.sh path/to/file.scenario
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target SimulationHost
build/dev/Project/Tools/SimulationHost/SimulationHost "${1:-examples/default.scenario}"
