#!/usr/bin/env bash
# Builds Quillo and starts it; arguments are passed on to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)"
exec build/release/bin/quillo "$@"
