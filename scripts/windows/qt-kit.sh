#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase) for 64-bit Windows with MinGW-w64, from Debian's own qt6-base
# source package and Debian's Qt host tools, once: later calls find the kit and return at once.
# The kit lands in $CORVANTA_WINDOWS_KIT (default /opt/corvanta-windows/qt-6.4.2-mingw64).
# With --check: exits 0 when the kit is there, 1 when it is not, and builds nothing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
kit="${CORVANTA_WINDOWS_KIT:-/opt/corvanta-windows/qt-6.4.2-mingw64}"
work="$(dirname "$kit")/qt-work"

if [ "${1-}" = --check ]; then
    [ -f "$kit/.complete" ]
    exit
fi
if [ -f "$kit/.complete" ]; then
    echo "Qt kit: $kit (built before)"
    exit 0
fi

bash "$here/deps.sh"

# Debian's source of the qt6-base package, from the same archive and suite as the binaries.
mkdir -p "$work"
cd "$work"
if ! ls qt6-base_6.4.2*.orig.tar.xz > /dev/null 2>&1; then
    if ! apt-get source --download-only qt6-base > /dev/null 2>&1; then
        bash "$here/deb-src.sh"
        apt-get update -qq
        apt-get source --download-only qt6-base
    fi
fi
src="$work/qtbase-everywhere-src-6.4.2"
if [ ! -f "$src/.unpacked" ]; then
    rm -rf "$src"
    tar -xf qt6-base_6.4.2*.orig.tar.xz
    touch "$src/.unpacked"
fi

# Only what the window needs: Core, Gui, Widgets, Test and the Windows platform plugin.
# Debian's source leaves out wintab (tablet events); OpenGL stays on because 6.4.2's
# Windows plugin does not build without it.
mkdir -p build
cd build
if [ ! -f build.ninja ]; then
    cmake "$src" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$kit" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
        -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF -DFEATURE_concurrent=ON \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
fi
started=$(date +%s)
nice -n 5 cmake --build . -j "$(nproc)"
cmake --install . > /dev/null
echo "Qt kit built in $(( ($(date +%s) - started) / 60 )) min: $kit"
touch "$kit/.complete"
