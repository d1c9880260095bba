#!/usr/bin/env bash
# Builds Quillo twice (a normal build and one with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole test suite in each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

# Outside app/, only Form1<Area>.cpp files may include headers of app/.
bash scripts/check-shape.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

run build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
run build/asan -DCMAKE_BUILD_TYPE=Debug -DQUILLO_SANITIZE=ON
