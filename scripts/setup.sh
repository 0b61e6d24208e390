#!/usr/bin/env bash
# Installs every Debian 12 package Glimora needs to build, run and test.
# Non-interactive and idempotent: it returns at once when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins libgl-dev qt6-serialport-dev
  libcanberra-dev libcanberra0 libcanberra-pulse sound-theme-freedesktop
  libchm-dev fp-utils
  fonts-dejavu-core
  libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-utils imagemagick
  cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils
  python3 at-spi2-core desktop-file-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
