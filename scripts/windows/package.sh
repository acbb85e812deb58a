#!/usr/bin/env bash
# Lays out the portable Windows program and makes its installer with NSIS.
# Usage: package.sh KIT BUILD OUT: the Qt kit, the Windows build folder, the output folder.
set -euo pipefail
kit=$1 build=$2 out=$3
version=$(sed -n 's/^project(Corvanta VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
app=$out/Corvanta
echo "== Portable program ($app)"
rm -rf "$app"
mkdir -p "$app/platforms" "$app/styles" "$app/translations" "$app/licenses"
cp "$build/corvanta.exe" "$build/corvanta-cli.exe" "$app/"
for dll in Qt6Core Qt6Gui Qt6Widgets; do
    cp "$kit/bin/$dll.dll" "$app/"
done
gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
cp "$gcc_dlls/libstdc++-6.dll" "$gcc_dlls/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$app/"
cp "$kit/plugins/platforms/qwindows.dll" "$app/platforms/"
cp "$kit/plugins/styles/"*.dll "$app/styles/" 2>/dev/null || true
cp /usr/share/qt6/translations/qtbase_fr.qm "$app/translations/"
cp ui/resources/corvanta.ico "$app/"
cp "$kit/../qt-work/qtbase-everywhere-src-6.4.2/LICENSES/"{LGPL-3.0-only,GPL-3.0-only,GPL-2.0-only}.txt \
    "$app/licenses/" 2>/dev/null || true
# Qt finds its plugins and translations beside the program.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' > "$app/qt.conf"
x86_64-w64-mingw32-strip --strip-unneeded "$app"/*.exe "$app"/*.dll "$app"/platforms/*.dll "$app"/styles/*.dll

echo "== Installer"
installer=$out/Corvanta-Setup-$version.exe
makensis -V2 -DVERSION="$version" -DSOURCE="$PWD/$app" -DOUTFILE="$PWD/$installer" \
    scripts/windows/corvanta.nsi
echo "Installer: $installer ($(du -h "$installer" | cut -f1))"
