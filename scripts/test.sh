#!/usr/bin/env bash
# Builds Corvanta and runs every test: in the Debug build, again in a build with the address
# and undefined-behaviour checks, then each fuzz target for a short time (clang only).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
fuzz_seconds=${CORVANTA_FUZZ_SECONDS:-60}

echo "== Debug build (build/debug)"
cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build/debug -j "$jobs"
ctest --test-dir build/debug --output-on-failure -j "$jobs"

echo "== Address and undefined-behaviour checks (build/asan)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCORVANTA_SANITIZE=ON -DCORVANTA_BUILD_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan --output-on-failure -j "$jobs"

if command -v clang++ > /dev/null; then
    echo "== Fuzz targets, ${fuzz_seconds} s each (build/fuzz)"
    cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
        -DCMAKE_CXX_COMPILER=clang++ -DCORVANTA_FUZZ=ON \
        -DCORVANTA_BUILD_TESTS=OFF -DCORVANTA_BUILD_BENCH=OFF -DCORVANTA_BUILD_UI=OFF
    cmake --build build/fuzz -j "$jobs" --target fuzz_all
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 bash fuzz/run.sh build/fuzz "$fuzz_seconds"
else
    echo "== clang++ not found: fuzz targets skipped"
fi

# The Windows program's tests under Wine run where the Qt kit for Windows is already built: the
# kit takes longer to build than a test run may (bash scripts/windows/qt-kit.sh builds it).
if bash scripts/windows/qt-kit.sh --check; then
    echo "== Windows program, built and tested under Wine (scripts/windows.sh)"
    bash scripts/windows.sh
else
    echo "== Windows tests skipped: the Qt kit for Windows is not built (bash scripts/windows/qt-kit.sh)"
fi
