#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need. Idempotent:
# when everything is present it changes nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev qt6-qpa-plugins
  libsqlite3-dev sqlite3 libpq-dev postgresql-15 libfontconfig-dev zlib1g-dev libshp-dev libarchive-dev
  fonts-liberation2 fonts-ocr-a fontconfig
  fonts-dejavu-core fonts-droid-fallback fonts-urw-base35
  xvfb xauth xdotool x11-utils imagemagick
  poppler-utils zbar-tools zint ghostscript
  cups-client cups printer-driver-cups-pdf time ccache
  clang
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
