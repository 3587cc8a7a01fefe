#!/usr/bin/env bash
# Installs the cross-compilers and wine from Debian, and builds what the Windows programs
# link that Debian does not ship for MinGW: SQLite and Qt, both from Debian's own source
# packages (apt-get source, so deb-src lines for the archive the machine already uses are
# added when missing). Nothing comes from anywhere else.
#
# The builds go to a cache folder outside the clone, one folder per key (the source
# packages' versions, the compiler's and this folder's scripts), and are reused when
# present: a second run on the same machine skips them. Prints the prefix to use.
#
#   scripts/windows/build-deps.sh            (VERDALIA_WINDOWS_CACHE, default
#                                             /var/cache/verdalia-windows)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${VERDALIA_WINDOWS_CACHE:-/var/cache/verdalia-windows}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
log() { echo "windows-deps: $*" >&2; }

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

# --- Debian packages -------------------------------------------------------------------
packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 nsis zip dpkg-dev
          cmake ninja-build python3 xvfb xauth qt6-base-dev qt6-base-dev-tools
          libcli11-dev nlohmann-json3-dev tcl googletest
          poppler-utils libodbc2 odbc-mdbtools)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  updated=1
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# Source packages need deb-src lines: the same archive and suites as the deb lines.
if ! grep -rqs '^\(Types:.*deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  log "adding deb-src lines for the archive in use"
  src=/etc/apt/sources.list.d/verdalia-deb-src.sources
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    grep -q 'debian' "$f" || continue
    sed 's/^Types: deb$/Types: deb-src/' "$f" >>"$tmp"
    echo >>"$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' /etc/apt/sources.list \
      >"${tmp}.list"
    "${sudo_cmd[@]}" install -m 644 "${tmp}.list" /etc/apt/sources.list.d/verdalia-deb-src.list
  fi
  [ -s "$tmp" ] && "${sudo_cmd[@]}" install -m 644 "$tmp" "$src"
  rm -f "$tmp" "${tmp}.list"
  updated=0
fi

source_version() { # the version apt-get source would fetch
  apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1
}
if [ -z "$(source_version qt6-base)" ] && [ "$updated" = 0 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
qt_version=$(source_version qt6-base)
sqlite_version=$(source_version sqlite3)
if [ -z "$qt_version" ] || [ -z "$sqlite_version" ]; then
  log "apt-cache knows no source package qt6-base or sqlite3: deb-src lines missing?"
  exit 1
fi
# The host's moc, rcc and uic serve the cross-build: its Qt must be the source's.
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
if [ "$host_qt" != "$qt_version" ]; then
  log "the host's Qt tools ($host_qt) differ from the Qt source ($qt_version)"
  exit 1
fi

compiler=$(x86_64-w64-mingw32-g++-posix -dumpversion)
# The key: what the builds are made of and how (this script from its SQLite part on, and the
# toolchain file), not which packages are installed first.
key=$( { echo "qt $qt_version sqlite $sqlite_version gcc $compiler";
         sed -n '/^# --- SQLite/,$p' "$here/build-deps.sh"; cat "$here/mingw-toolchain.cmake"; } |
       sha256sum | cut -c1-16)
prefix=$cache/prefix-$key
if [ -f "$prefix/.complete" ]; then
  log "reusing $prefix"
  echo "$prefix"
  exit 0
fi

log "building SQLite $sqlite_version and Qt $qt_version for Windows into $prefix"
mkdir -p "$cache"
work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
mkdir -p "$prefix"/{lib,include,bin}
cd "$work"
apt-get source -qq --download-only "qt6-base=$qt_version" "sqlite3=$sqlite_version" >&2

# --- SQLite ----------------------------------------------------------------------------
# The amalgamation built with the options Debian builds its own library with (the
# -DSQLITE_* of debian/rules), so that both programs read a database alike.
mkdir sqlite && tar -xf sqlite3_*.orig.tar.xz -C sqlite --strip-components=1
mkdir sqlite/debian && tar -xf sqlite3_*.debian.tar.xz -C sqlite
options=$(grep -o -- '-DSQLITE_[A-Z0-9_]*\(=[^ "\\]*\)\?' sqlite/debian/rules | sort -u |
          tr '\n' ' ')
(cd sqlite && ./configure -q >/dev/null && make -s sqlite3.c >/dev/null)
x86_64-w64-mingw32-gcc-posix -O2 $options -DSQLITE_THREADSAFE=1 -c sqlite/sqlite3.c \
  -o sqlite/sqlite3.o
x86_64-w64-mingw32-gcc-ar-posix rcs "$prefix/lib/libsqlite3.a" sqlite/sqlite3.o
cp sqlite/sqlite3.h sqlite/sqlite3ext.h "$prefix/include/"
echo "$options" >"$prefix/sqlite-options.txt"

# --- header-only libraries ---------------------------------------------------------------
# Their headers and CMake configurations, without the host's include folder (which would
# bring glibc's headers into the cross-build).
cp -r /usr/include/CLI /usr/include/nlohmann "$prefix/include/"
mkdir -p "$prefix/lib/cmake" "$prefix/share/cmake"
for config in /usr/share/cmake/CLI11 /usr/lib/cmake/CLI11 \
              /usr/share/cmake/nlohmann_json /usr/lib/cmake/nlohmann_json; do
  [ -d "$config" ] || continue
  dest="$prefix/share/cmake/$(basename "$config")"
  cp -r "$config" "$dest"
  sed -i "s#/usr/include#$prefix/include#g; s#\"/usr\"#\"$prefix\"#g" "$dest"/*.cmake
done

# --- Qt ---------------------------------------------------------------------------------
# Static libraries of Core, Gui, Widgets and PrintSupport and the Windows platform and style
# plugins, with the bundled zlib, libpng, FreeType, HarfBuzz and PCRE2; no OpenGL, D-Bus,
# ICU, SQL, network or XML. Debian's source lacks the Wintab headers (tablet events off),
# and 6.4's Windows platform plugin asks for a feature of the OpenGL module without
# checking that the module is built.
mkdir qt && tar -xf qt6-base_*.orig.tar.xz -C qt --strip-components=1
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(opengl) \&\& QT_CONFIG(dynamicgl)/' \
  qt/src/plugins/platforms/windows/qwindowswindow.cpp
cmake -S qt -B qt-build -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_icu=OFF -DFEATURE_sql=OFF \
  -DFEATURE_network=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF -DFEATURE_zstd=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_sql_sqlite=OFF >qt-configure.log 2>&1 ||
  { tail -60 qt-configure.log >&2; exit 1; }
cmake --build qt-build -j "$jobs" >qt-build.log 2>&1 || { tail -60 qt-build.log >&2; exit 1; }
cmake --install qt-build >/dev/null
cp qt/LICENSES/LGPL-3.0-only.txt qt/LICENSES/GPL-3.0-only.txt "$prefix/" 2>/dev/null || true
mkdir -p "$prefix/licenses"
cp -r qt/LICENSES "$prefix/licenses/qt" 2>/dev/null || true
cp sqlite/LICENSE.md "$prefix/licenses/sqlite.txt" 2>/dev/null ||
  echo "SQLite is in the public domain." >"$prefix/licenses/sqlite.txt"

touch "$prefix/.complete"
log "done: $prefix"
echo "$prefix"
