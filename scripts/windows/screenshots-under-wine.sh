#!/usr/bin/env bash
# The window's screenshot tour run by the Windows program under wine and Xvfb: it opens the
# window on the samples, checks them, shows the three tabs and the print preview, prints to
# PDF and saves a list. Its pictures go to docs/screenshots/windows/, and the list it saved
# must be the one verdalia-cli.exe writes for the same file.
#
#   scripts/windows/screenshots-under-wine.sh [WINDOWS_BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
win=$(cd "${1:-build-windows}" && pwd)
cd "$root"
out=docs/screenshots/windows
export WINEDEBUG=${WINEDEBUG:--all}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Datos" "$work/out" "$out"
cp samples/???????.txt "$work/Datos/"

xvfb-run -a -s "-screen 0 1280x800x24" wine "$win/verdalia-screenshots.exe" \
  "$work/out" "$work/Datos" 2>"$work/tour.err" || { cat "$work/tour.err" >&2; exit 1; }
grep -v '^wrote ' "$work/tour.err" >&2 || true

# The list the window saved, against the command line's for the same file.
saved=$(cd "$work/Datos" && ls ./*.err.fisico)
name=$(basename "$saved" .err.fisico)
mkdir "$work/cli" && cp "$work/Datos/$name" "$work/cli/"
(cd "$work/cli" && wine "$win/verdalia-cli.exe" check --physical-only --save "$name" >/dev/null) || true
cmp "$work/Datos/$name.err.fisico" "$work/cli/$name.err.fisico"

pdftoppm -png -r 70 -f 1 -l 1 -singlefile "$work/out/print.pdf" "$work/out/printed-page"
for picture in tab-archivos tab-fisica tab-logica preview printed-page; do
  cp "$work/out/$picture.png" "$out/$picture.png"
done
ls -l "$out" >&2
