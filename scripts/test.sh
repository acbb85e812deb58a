#!/usr/bin/env bash
# Builds Corvanta and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build/debug -j "$jobs"
ctest --test-dir build/debug --output-on-failure -j "$jobs"
