#!/usr/bin/env bash
# Installs what is missing, builds the tests and runs every one of them:
# first a normal optimised build, then the AddressSanitizer/UBSan build.
# ./test.sh --quick skips the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup

jobs=$(nproc)
run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" --parallel "$jobs"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$jobs" --timeout 600)
}

run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESS_BUILD_BENCH=ON
if [ "${1:-}" != "--quick" ]; then
  run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DTESS_SANITIZE=ON -DTESS_BUILD_BENCH=OFF
fi
