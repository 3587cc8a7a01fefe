#!/usr/bin/env bash
# Pictures of the window for the README: the three tabs on the bundled samples, the print
# preview and the first printed page, written to docs/screenshots/. Needs no display: the
# window draws itself with Qt's offscreen platform (or under Xvfb with USE_XVFB=1). The
# samples are shown from a folder of their own, /tmp/verdalia/Datos, so the pictures carry
# no trace of where this checkout lies.
#
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
out=docs/screenshots
tool="$build_dir/verdalia-screenshots"
if [ ! -x "$tool" ]; then
  cmake --build "$build_dir" --target verdalia-screenshots
fi
mkdir -p "$out"
work=$(mktemp -d)
shown=/tmp/verdalia
if [ -e "$shown" ]; then
  echo "screenshots: $shown is in the way; remove it first" >&2
  exit 1
fi
trap 'rm -rf "$work" "$shown"' EXIT
mkdir -p "$shown/Datos"
cp samples/*.txt "$shown/Datos/"

if [ "${USE_XVFB:-0}" = 1 ]; then
  xvfb-run -a -s "-screen 0 1280x800x24" "$tool" "$work" "$shown/Datos"
else
  QT_QPA_PLATFORM=offscreen "$tool" "$work" "$shown/Datos"
fi

# A page at 70 dpi reads well on screen and keeps the picture small.
pdftoppm -png -r 70 -f 1 -l 1 -singlefile "$work/print.pdf" "$work/printed-page"
for picture in tab-archivos tab-fisica tab-logica preview printed-page; do
  cp "$work/$picture.png" "$out/$picture.png"
done
ls -l "$out"
