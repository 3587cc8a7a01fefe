#!/usr/bin/env bash
# The Windows programs under wine, against what the Linux build does with the same inputs:
#
# 1. the nine samples: verdalia-cli.exe check --save, --format json and --summary write the
#    same lists, listings and status as verdalia-cli on Linux; then Windows' own paths
#    (backslashes, a drive, a folder given as a data file, names outside Windows-1252, a
#    folder past 260 characters, an Access path that ODBC cannot take);
# 2. the unit tests that apply, under wine (cmake/Windows.cmake names those that do not);
# 3. the case corpus through verdalia-cli.exe, byte for byte, less the cases of
#    tests/cases/not-under-wine.txt (each with its reason);
# 4. the window: the screenshot tour of verdalia-screenshots.exe under Xvfb (the tour opens
#    the window, checks a sample, previews and prints it, and saves its lists), its
#    pictures written to docs/screenshots/windows/.
#
#   scripts/windows/test-under-wine.sh [WINDOWS_BUILD_DIR] [LINUX_BUILD_DIR]
#
# Wine keeps its prefix in WINEPREFIX (default: a folder of its own in the cache); its
# server stays up between runs of one test and is stopped at the end.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
win=$(cd "${1:-build-windows}" && pwd)
linux=$(cd "${2:-build}" && pwd)
cd "$root"
cache=${VERDALIA_WINDOWS_CACHE:-/var/cache/verdalia-windows}
export WINEPREFIX=${WINEPREFIX:-$cache/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
parts=0
failed_parts=0
part_done() { # after each part: whether it failed
  parts=$((parts + 1))
  if [ "$1" != "$failures" ]; then failed_parts=$((failed_parts + 1)); fi
}

# The prefix is made once, and the server and its services are started here, outside any
# test: a service started by a test's run would keep that run's output pipes open.
mkdir -p "$(dirname "$WINEPREFIX")"
wineserver -p
wine "$win/verdalia-cli.exe" --help >/dev/null 2>&1 </dev/null
# Wine's ODBC hands a Windows program's calls to unixODBC, where MDB Tools' driver stands in
# for Access's under its name: the Access cases then go through the Windows build's ODBC
# reader (tests/cases/not-under-wine.txt names those whose words only libmdb gives).
odbc=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$odbc"' EXIT
stand_in=$(ls /usr/lib/x86_64-linux-gnu/odbc/libmdbodbcW.so 2>/dev/null || true)
if [ -n "$stand_in" ]; then
  printf '[Microsoft Access Driver (*.mdb, *.accdb)]\nDriver = %s\n' "$stand_in" >"$odbc/odbcinst.ini"
  : >"$odbc/odbc.ini"
  export ODBCSYSINI=$odbc
fi
# Wine reads the arguments' bytes in the locale it is started in.
wine_cli="env LC_ALL=C.UTF-8 wine $win/verdalia-cli.exe"

# --- 1. the samples ----------------------------------------------------------------------
before=$failures
work=$(mktemp -d)
mkdir -p "$work/linux" "$work/windows"
cp samples/???????.txt "$work/linux/"
cp samples/???????.txt "$work/windows/"
for mode in "--save" "--format json" "--summary"; do
  (cd "$work/linux" && LC_ALL=C "$linux/verdalia-cli" check $mode ???????.txt >out 2>err; echo $? >status)
  (cd "$work/windows" && LC_ALL=C $wine_cli check $mode ???????.txt >out 2>err; echo $? >status)
  for f in out err status; do
    cmp -s "$work/linux/$f" "$work/windows/$f" || fail "samples, check $mode: $f differs"
  done
done
lists=0
for list in "$work"/linux/*.err.*; do
  lists=$((lists + 1))
  cmp -s "$list" "$work/windows/$(basename "$list")" || fail "samples: $(basename "$list") differs"
done
extra=$(cd "$work/windows" && ls ./*.err.* | wc -l)
[ "$extra" = "$lists" ] || fail "samples: $extra lists written on Windows, $lists on Linux"
echo "samples: $lists lists, the listings, JSON and summaries compared"
rm -rf "$work"
part_done $before

# --- 1b. Windows' own paths: backslashes, a drive, a folder given as a file ---------------
before=$failures
work=$(mktemp -d)
mkdir -p "$work/datos"
cp samples/D202402.txt "$work/datos/"
drive=$(winepath -w "$work" 2>/dev/null)
(cd "$work" && $wine_cli check --save 'datos\D202402.txt' "$drive\datos\D202402.txt" datos \
  >out 2>err)
grep -q '^   Guardado: datos\\D202402.txt.err.fisico' "$work/out" ||
  fail "paths: a list saved beside datos\\D202402.txt is not announced under that name"
grep -qF "== $drive\datos\D202402.txt:" "$work/out" || fail "paths: the drive's path is not kept"
grep -q 'No se puede leer el archivo ./datos: es una carpeta' "$work/err" ||
  fail "paths: a folder given as a data file is not refused as a folder"
mkdir "$work/linux" && cp samples/D202402.txt "$work/linux/"
(cd "$work/linux" && LC_ALL=C "$linux/verdalia-cli" check --save D202402.txt >/dev/null; true)
cmp -s "$work/linux/D202402.txt.err.fisico" "$work/datos/D202402.txt.err.fisico" ||
  fail "paths: the list saved through a backslashed path differs from Linux's"
# Names outside Windows-1252 and a folder past the old 260-character limit.
deep='Año€ñ Папка'
while [ ${#deep} -lt 300 ]; do deep="$deep\carpeta con un nombre largo ${#deep}"; done
mkdir -p "$work/$(echo "$deep" | tr '\\' /)"
cp samples/D202402.txt "$work/$(echo "$deep" | tr '\\' /)/"
(cd "$work" && $wine_cli check --save "$deep\D202402.txt" >/dev/null 2>err)
cmp -s "$work/linux/D202402.txt.err.fisico" "$work/$(echo "$deep" | tr '\\' /)/D202402.txt.err.fisico" ||
  fail "paths: the list saved $((${#deep} + ${#drive})) characters deep differs from Linux's"
# A ";" ends the path in ODBC's connection string: such an Access path is refused.
if [ -n "$stand_in" ]; then
  cp tests/fixtures/access/verdalia7.mdb "$work/a;b.mdb"
  (cd "$work" && $wine_cli check --db 'a;b.mdb' datos/D202402.txt >/dev/null 2>err; echo $? >status)
  grep -q 'su ruta contiene ";"' "$work/err" && [ "$(cat "$work/status")" = 3 ] ||
    fail "paths: an Access database whose path holds \";\" is not refused"
fi
rm -rf "$work"
part_done $before
echo "paths: backslashes, a drive, a folder given as a file, long and non-Latin names"

# --- 2. the unit tests that apply (cmake/Windows.cmake names those that do not) -----------
before=$failures
if cmake --build "$win" -j "${JOBS:-2}" >"$win/unit-tests-build.log" 2>&1; then
  (cd "$win" && ctest --output-on-failure -j "${JOBS:-2}") || fail "unit tests under wine"
else
  tail -30 "$win/unit-tests-build.log"
  fail "unit tests: the Windows build of the tests"
fi
part_done $before

# --- 3. the corpus -----------------------------------------------------------------------
before=$failures
python3 tests/cases/run-cases.py --program "$wine_cli" --tools "$linux" \
  --skip tests/cases/not-under-wine.txt tests/cases || failures=$((failures + 1))
part_done $before

# --- 4. the window -----------------------------------------------------------------------
if [ -x "$win/verdalia-screenshots.exe" ] && [ "${VERDALIA_WINDOWS_SKIP_WINDOW:-0}" != 1 ]; then
  before=$failures
  if "$here/screenshots-under-wine.sh" "$win"; then
    echo "window: the tour ran under wine; pictures in docs/screenshots/windows/"
  else
    fail "window: the screenshot tour under wine"
  fi
  part_done $before
fi

echo "wine: $((parts - failed_parts)) passed, $failed_parts failed"
[ $failures -eq 0 ]
