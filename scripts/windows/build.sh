#!/usr/bin/env bash
# The Windows programs and their package, cross-built on Debian (`make windows`):
#
#   dist/verdalia-windows-x64.zip        verdalia.exe, verdalia-cli.exe, Base\verdalia7.db,
#                                         LEEME.txt, the licences, and what relinking the
#                                         window with another Qt takes (relink\)
#   dist/verdalia-windows-x64-setup.exe  an installer for the current user (no administrator)
#
# Installs what it needs with apt-get, builds SQLite and Qt for Windows once into the cache
# (scripts/windows/build-deps.sh), then the programs into BUILD_DIR (default build-windows).
#
#   scripts/windows/build.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build_dir=${1:-build-windows}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
cd "$root"
log() { echo "windows: $*" >&2; }

prefix=$("$here/build-deps.sh")
export VERDALIA_WINDOWS_PREFIX=$prefix

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
    -DVERDALIA_WINDOWS_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DQT_HOST_PATH=/usr -DCMAKE_BUILD_TYPE=Release >&2
fi
cmake --build "$build_dir" -j "$jobs" --target verdalia verdalia-cli verdalia-screenshots >&2

# --- the package ------------------------------------------------------------------------
version=$(sed -n 's/^project(Verdalia VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
package=$stage/verdalia
mkdir -p "$package/Base" "$package/licencias" "$package/relink"
cp "$build_dir/verdalia.exe" "$build_dir/verdalia-cli.exe" "$package/"
cp "$build_dir/Base/verdalia7.db" "$package/Base/"
x86_64-w64-mingw32-strip "$package/verdalia.exe" "$package/verdalia-cli.exe"
# Text files for Notepad: CR LF line ends.
crlf() { sed 's/$/\r/' "$1" >"$2"; }
crlf "$here/LEEME.txt" "$package/LEEME.txt"
crlf "$here/licencias.txt" "$package/licencias/LEEME.txt"
for licence in "$prefix"/licenses/qt/*.txt; do
  crlf "$licence" "$package/licencias/Qt-$(basename "$licence")"
done
crlf "$prefix/licenses/sqlite.txt" "$package/licencias/SQLite.txt"
for gcc_licence in /usr/share/doc/gcc-mingw-w64-base/copyright /usr/share/doc/mingw-w64-common/copyright; do
  [ -f "$gcc_licence" ] && crlf "$gcc_licence" "$package/licencias/$(basename "$(dirname "$gcc_licence")").txt"
done

# Qt is linked into verdalia.exe (LGPL 3): the window's own objects, the link line and the
# Qt it was built from, so that anyone can link it again with a Qt of their own.
cp "$build_dir"/src/app/libverdalia_window.a "$build_dir"/libverdalia_*.a "$package/relink/"
cp "$build_dir"/src/app/CMakeFiles/verdalia.dir/main.cpp.obj "$package/relink/main.obj"
cp "$build_dir"/windows/verdalia.rc "$build_dir"/windows/verdalia.manifest "$package/relink/"
crlf "$here/relink.txt" "$package/relink/LEEME.txt"
dpkg-query -W -f='Qt ${Version} (Debian qt6-base, source package)\n' qt6-base-dev-tools \
  >"$package/relink/qt-version.txt"

mkdir -p dist
rm -f dist/verdalia-windows-x64.zip
(cd "$stage" && mv verdalia verdalia-windows-x64 && zip -qr -X "$root/dist/verdalia-windows-x64.zip" verdalia-windows-x64)
log "dist/verdalia-windows-x64.zip ($(du -h dist/verdalia-windows-x64.zip | cut -f1))"

# The installer: the programs, the database and the texts, no relinking kit.
makensis -V2 -DVERSION="$version" -DSOURCE="$stage/verdalia-windows-x64" \
  -DOUTFILE="$root/dist/verdalia-windows-x64-setup.exe" "$here/installer.nsi" >&2
log "dist/verdalia-windows-x64-setup.exe ($(du -h dist/verdalia-windows-x64-setup.exe | cut -f1))"
