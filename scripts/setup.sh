#!/usr/bin/env bash
# Installs what building and testing Torvane needs on Debian 12, only what is missing.
# With --packaging also what `cpack -G DEB` needs to compute the package's dependencies.
set -euo pipefail

# lld links the many test executables in about half the time of the default linker.
# fonts-dejavu-extra brings the oblique and bold-oblique faces: without them the printout's
# italic text (the field captions of mapping tables) is only slanted upright glyphs.
packages=(build-essential cmake ninja-build pkg-config ccache qt6-base-dev qt6-serialport-dev libudev-dev
          binutils lld xvfb xauth imagemagick poppler-utils fonts-dejavu-core fonts-dejavu-extra)
if [ "${1:-}" = "--packaging" ]; then
  # dpkg-shlibdeps finds the libraries' packages; CPack recognises the programs with file.
  packages+=(dpkg-dev file)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
