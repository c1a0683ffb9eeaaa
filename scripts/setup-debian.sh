#!/usr/bin/env bash
# Installs what Quillmere needs to build, run and test on Debian 12 (as root).
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libgtest-dev googletest
  libreoffice-calc libreoffice-dev
  clang libclang-rt-14-dev
  fp-utils-3.2.2
  fonts-noto-cjk
  xvfb xauth x11-utils
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
