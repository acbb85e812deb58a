#!/usr/bin/env bash
# Installs the Debian 12 packages that the Windows build, installer and tests need, besides
# those of the Linux build.
set -euo pipefail
exec bash "$(dirname "$0")/../deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools nsis wine wine64 \
    x11-utils imagemagick xz-utils dpkg-dev
