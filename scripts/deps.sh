#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, when some are missing, and
# the packages named as arguments.
set -euo pipefail
packages=(g++ cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev
          qt6-translations-l10n clang libclang-rt-14-dev xvfb xauth "$@")
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
