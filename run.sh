#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program.
# Until the window exists this runs the processor benchmarks.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESS_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --parallel "$(nproc)"
for b in build/release/bench/*_bench; do
  "$b" "$@"
done
