#!/usr/bin/env bash
# Tests the Windows program under Wine: the test programs, the command line against the Linux
# build over every fixture and corpus file, the window on a virtual display, and the installer.
# Usage: test.sh BUILD OUT: the Windows build folder and the folder of the portable program.
set -euo pipefail
build=$1 out=$2
root=$PWD
wine_run=$root/scripts/windows/wine-run.sh
export WINEPREFIX="${WINEPREFIX:-$root/build/windows/wine}"
status=0

echo "== Wine prefix ($WINEPREFIX)"
"$wine_run" wineboot --init > /dev/null 2>&1 || true
# One Wine server for every test program and run, not one started for each.
"$wine_run" wineserver -p 2>/dev/null || true
trap '"$wine_run" wineserver -k 2>/dev/null || true' EXIT

echo "== Test programs under Wine"
ctest --test-dir "$build" --output-on-failure || status=1

echo "== corvanta-cli.exe against the Linux build"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANTA_BUILD_TESTS=OFF > /dev/null
cmake --build build/release --target corvanta-cli
cli=$out/corvanta-cli-wine
printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$wine_run" "$root/$out/Corvanta/corvanta-cli.exe" > "$cli"
chmod +x "$cli"
# Wine itself now and then dies of a segmentation fault or loses its server: such a run goes
# again once, and the count is shown.
bench/compare --timeout 120 --drive Z --retry-crashes build/release/cli/corvanta-cli "$cli" || status=1

echo "== The window on a virtual display"
bash scripts/windows/window-smoke.sh "$out/Corvanta/corvanta.exe" "$out/window.png" || status=1

echo "== The installer"
bash scripts/windows/installer-smoke.sh "$out"/Corvanta-Setup-*.exe || status=1

[ $status = 0 ] && echo "Windows tests: all passed" || echo "Windows tests: some failed"
exit $status
