#!/usr/bin/env bash
# Installs the Debian 12 packages that the Windows build, installer and tests need.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools cmake ninja-build qt6-base-dev-tools
          qt6-base-dev qt6-translations-l10n nsis wine wine64 xvfb xauth x11-utils imagemagick xz-utils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
