#!/usr/bin/env bash
# Builds the Windows program on Debian 12 and tests it under Wine: the Qt kit (once, outside
# the checkout), corvanta.exe and corvanta-cli.exe, the portable folder
# build/windows/Corvanta/, the installer build/windows/Corvanta-Setup-VERSION.exe, then the
# tests. Any failure fails the command. Options: --no-tests (build and package only).
set -euo pipefail
cd "$(dirname "$0")/.."
tests=1
[ "${1-}" = --no-tests ] && tests=0

bash scripts/windows/qt-kit.sh
kit="${CORVANTA_WINDOWS_KIT:-/opt/corvanta-windows/qt-6.4.2-mingw64}"
out=build/windows
build=$out/build

echo "== Windows build ($build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/scripts/windows/toolchain-mingw64.cmake" \
    -DCMAKE_PREFIX_PATH="$kit" -DCORVANTA_QT_KIT="$kit" -DQT_HOST_PATH=/usr \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/scripts/windows/wine-run.sh" \
    -DCORVANTA_BUILD_BENCH=OFF -DCORVANTA_TESTS="$(cat scripts/windows/tests.txt | tr '\n' ';')"
cmake --build "$build" -j "$(nproc)"

bash scripts/windows/package.sh "$kit" "$build" "$out"

if [ $tests = 1 ]; then
    bash scripts/windows/test.sh "$build" "$out"
fi
