#!/usr/bin/env bash
# The window under a real X server with a window manager, driven from the keyboard as an
# operator drives it: Xvfb at 1,280 x 800, openbox, xdotool, the window at 150 %. It sees
# what the offscreen tests cannot: where the window manager puts the windows, the real
# message boxes, and where the focus goes after them.
#   x11-window.sh BUILD_DIR SAMPLES_DIR     (exit 77: skipped, a tool is missing)
set -euo pipefail
for tool in Xvfb openbox xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is missing (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
build=$(cd "$1" && pwd)
samples=$(cd "$2" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

display=
for n in $(seq 91 160); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
    display=":$n"
    break
  fi
done
[ -n "$display" ] || fail "no free display number"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display QT_QPA_PLATFORM=xcb
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

mkdir -p "$work/home" "$work/Datos"
cp "$samples"/*.txt "$work/Datos/"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_SCALE_FACTOR=1.5 \
  "$build/verdalia" --db "$build/Base/verdalia7.db" "$work/Datos" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

# The id of the visible window of that title, once it shows.
window() {
  local id
  for _ in $(seq 150); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
# The window lies within the screen, whole.
within_screen() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1280 ] && [ $((Y + HEIGHT)) -le 800 ] ||
    fail "$2 lies past the screen: ${WIDTH}x${HEIGHT} at $X,$Y"
}

main=$(window "Validación Verdalia") || fail "the window did not show"
within_screen "$main" "the main window at 150 %"

# Alt+A, then the first Down chooses the first file; Alt+F runs it.
xdotool key alt+a
sleep 0.3
xdotool key Down
sleep 0.3
xdotool key alt+f
window "Verificar" >/dev/null || fail "Alt+F did not run the physical verification"
xdotool key Return
gone "Verificar" || fail "the end message did not close"
sleep 0.5
# The focus is in the grid: the space bar selects a row, it does not press "Imprimir".
xdotool key space
sleep 1
if xdotool search --onlyvisible --name "^Vista Preliminar\$" >/dev/null 2>&1; then
  fail "the space bar opened the preview: the focus stayed on a button"
fi
xdotool key alt+i
preview=$(window "Vista Preliminar") || fail "Alt+I did not open the preview"
within_screen "$preview" "the preview at 150 %"
xdotool key Escape
gone "Vista Preliminar" || fail "Escape did not close the preview"

# The window closes through the window manager, and remembers the folder.
xdotool windowactivate --sync "$main" key alt+F4
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "Alt+F4 did not close the window"
grep -q "Datos" "$work/home/.config/Verdalia/Verdalia.conf" || fail "the folder was not remembered"
echo "x11 window: passed"
