#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Works as root or through sudo; on a machine that has everything it changes nothing.
set -euo pipefail

packages=(
  build-essential cmake make pkg-config
  libgtest-dev googletest libbenchmark-dev
  libsqlite3-dev sqlite3
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  mdbtools mdbtools-dev
  poppler-utils xvfb xauth fonts-dejavu-core openbox xdotool
  clang libclang-rt-14-dev
  time python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "install-deps: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
