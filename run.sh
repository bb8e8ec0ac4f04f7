#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program on its
# bundled default: the demo boot ROM, run headless by tessaline-run with a
# line of typed input, showing what the board prints on its console.
# Arguments replace the default ones, e.g.
#   ./run.sh --load program.bin --until-halt --steps 100000000 --screen
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup
echo "Building (Release)..." >&2
mkdir -p build/release
if ! { cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESS_BUILD_TESTS=OFF &&
       cmake --build build/release --parallel "$(nproc)"; } >build/release/build.log 2>&1; then
  cat build/release/build.log >&2
  exit 1
fi

if [ $# -eq 0 ]; then
  set -- --rom roms/demo.rom --input 'Hello, Z180!\r\e' --until-halt --steps 100000000 --stats
fi
exec build/release/src/runner/tessaline-run "$@"
