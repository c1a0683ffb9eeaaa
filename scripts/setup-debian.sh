#!/usr/bin/env bash
# Installs what Quillmere needs to build and run on Debian 12 (as root): Qt,
# LibreOffice Calc and its SDK, libblkid (to tell the file system behind a
# FUSE mount), chmcmd for the user guide, a CJK font, Qt's
# translations, xdg-utils and xCHM. With --for-tests also what only the tests,
# benchmarks and fuzzing use: GoogleTest, clang, an X server, a window manager
# and window tools for the visible-window tests, LibreOffice's GTK 3 toolkit
# (what a GNOME desktop runs), the checkers of the Debian package, bindfs,
# a FUSE mount standing in for a network share, and the tools that make and
# mount exFAT, FAT32 and NTFS volumes through FUSE.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libreoffice-calc libreoffice-dev
  libblkid-dev
  fp-utils-3.2.2
  fonts-noto-cjk
  xdg-utils xchm
)
if [ "${1:-}" = --for-tests ]; then
  packages+=(
    libgtest-dev googletest
    clang libclang-rt-14-dev
    xvfb xauth x11-utils
    openbox xdotool
    libreoffice-gtk3
    dpkg-dev lintian desktop-file-utils appstream
    bindfs
    exfatprogs exfat-fuse dosfstools fusefat ntfs-3g
  )
fi
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
