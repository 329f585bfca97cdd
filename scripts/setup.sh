#!/usr/bin/env bash
# Installs every Debian package the build, the programs and the tests need.
# Quick when they are already there: apt is only called for missing packages.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libzip-dev zlib1g-dev libdeflate-dev libgtest-dev libcanberra-dev
  clang libclang-rt-14-dev
  zip unzip p7zip-full libarchive-tools unrtf desktop-file-utils librsvg2-bin
  cron dbus-daemon
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
