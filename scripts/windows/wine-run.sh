#!/usr/bin/env bash
# Runs a Windows program under Wine, with the Qt kit's and MinGW's DLLs on its path, in a Wine
# prefix of the build's own, without Wine's dialogs (Mono, Gecko) or its debug chatter.
# Used by CTest (as the cross-compiling emulator), by the comparison with the Linux build and
# by scripts/windows.sh.
set -euo pipefail
kit="${CORVANTA_WINDOWS_KIT:-/opt/corvanta-windows/qt-6.4.2-mingw64}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Wine sees the Linux root as drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
export WINEPATH="$(winpath "$kit/bin");$(winpath "$gcc_dlls");$(winpath /usr/x86_64-w64-mingw32/lib)"
export QT_PLUGIN_PATH="$(winpath "$kit/plugins")"
mkdir -p "$WINEPREFIX"
# "wine-run.sh wineserver -k" and the like reach the prefix's server.
if [ "${1-}" = wineserver ]; then
    shift
    exec wineserver "$@"
fi
exec wine "$@"
