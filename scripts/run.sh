#!/usr/bin/env bash
# Builds Corvanta (Release) and starts the window; arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANTA_BUILD_TESTS=OFF
cmake --build build/release
if [ -x build/release/ui/corvanta ]; then
    exec build/release/ui/corvanta "$@"
fi
exec build/release/cli/corvanta-cli --help
