#!/usr/bin/env bash
# Installs the program silently for the current user under Wine, runs the installed
# corvanta-cli.exe, then uninstalls it and checks that its files are gone.
# Usage: installer-smoke.sh INSTALLER
set -euo pipefail
installer=$(realpath "$1")
here="$(cd "$(dirname "$0")" && pwd)"
run() { "$here/wine-run.sh" "$@"; }
export WINEPREFIX="${WINEPREFIX:-$(cd "$here/../.." && pwd)/build/windows/wine}"
prefix=$WINEPREFIX
# The per-user programs folder of the Wine user.
dir=$(ls -d "$prefix"/drive_c/users/*/AppData/Local 2>/dev/null | grep -v /Public/ | head -1)/Programs/Corvanta
run "$installer" /S
[ -f "$dir/corvanta.exe" ] && [ -f "$dir/Uninstall.exe" ] || { echo "Not installed in $dir" >&2; exit 1; }
version=$(run "$dir/corvanta-cli.exe" --version | tr -d '\r')
echo "Installed: $version"
menu=$(ls "$prefix"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/Corvanta.lnk 2>/dev/null | head -1)
[ -n "$menu" ] || { echo "No Start menu entry" >&2; exit 1; }
run "$dir/Uninstall.exe" /S "_?=$(printf 'Z:%s' "${dir//\//\\}")"
# The uninstaller cannot delete itself while it runs from the folder.
rm -f "$dir/Uninstall.exe"
rmdir "$dir" 2>/dev/null || true
[ ! -e "$dir" ] || { echo "Left behind after the uninstall:" >&2; ls -R "$dir" >&2; exit 1; }
echo "Installed, run and uninstalled"
