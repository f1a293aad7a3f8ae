#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while.
# Usage: scripts/fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
scripts/bootstrap.sh
cmake --preset fuzz
cmake --build --preset fuzz
shopt -s nullglob
for fuzzer in build/fuzz/fuzzers/fuzz_*; do
  [[ -x "$fuzzer" ]] || continue
  name=$(basename "$fuzzer")
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [[ -d "fuzz/seeds/${name#fuzz_}" ]] && seeds=("fuzz/seeds/${name#fuzz_}")
  echo "fuzz: $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "${seeds[@]}" 2>&1 | tail -n 12
done
