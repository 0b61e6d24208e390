#!/usr/bin/env bash
# Installs every Debian 12 package Glimora needs to build, run and test.
# Non-interactive and idempotent: it returns at once when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins libgl-dev qt6-charts-dev libqt6opengl6-dev qt6-serialport-dev
  libcanberra-dev libcanberra0 sound-theme-freedesktop
  libmspack-dev fp-utils
  fonts-dejavu-core fonts-liberation2 locales
  libbenchmark-dev ccache
  # CPack finds the Debian package's dependencies with dpkg-shlibdeps, and its binaries with file.
  file dpkg-dev
  clang libclang-rt-14-dev lld
  xvfb xauth xdotool
  cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils
  python3 python3-pyatspi dbus-daemon at-spi2-core desktop-file-utils
  libqt6sql6-sqlite libqt6sql6-psql postgresql-15 clang-format
)

# A comma-decimal locale for the test suite's second run, and one whose decimal point is two bytes
# long: numbers must read and write the same under both.
TEST_LOCALES=("de_DE" "ps_AF")
has_test_locale() {
  for l in "${TEST_LOCALES[@]}"; do locale -a 2>/dev/null | grep -qix "$l\.utf-\?8" || return 1; done
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ] && has_test_locale; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # Unpacked without dpkg's sync after every file, the slow part of unpacking hundreds of packages
  # on a fresh machine; one that stops half-way through is set up again by running this script.
  $SUDO apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-unsafe-io "${missing[@]}" >/dev/null
fi

if ! has_test_locale; then
  for TEST_LOCALE in "${TEST_LOCALES[@]/%/.UTF-8}"; do
    echo "Generating the locale $TEST_LOCALE"
    if ! grep -q "^${TEST_LOCALE} UTF-8" /etc/locale.gen 2>/dev/null; then
      if grep -q "^# *${TEST_LOCALE} UTF-8" /etc/locale.gen 2>/dev/null; then
        $SUDO sed -i "s/^# *\(${TEST_LOCALE} UTF-8\)/\1/" /etc/locale.gen
      else
        echo "${TEST_LOCALE} UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
      fi
    fi
  done
  $SUDO locale-gen >/dev/null
fi
