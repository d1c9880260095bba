#!/usr/bin/env bash
# Installs the Debian packages Quillo needs to build, run and test.
# Only what is missing is installed; the package lists are refreshed once
# when a package is not known yet.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libcurl4-openssl-dev ca-certificates
  googletest libgtest-dev libgmock-dev
  python3 python3-pyftpdlib python3-feedparser libxml2-utils curl openssl
  openssh-server openssh-client python3-openssl
  xvfb xauth x11-apps imagemagick
  fonts-liberation fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! $SUDO apt-get install -y -q "${missing[@]}"; then
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q "${missing[@]}"
fi
