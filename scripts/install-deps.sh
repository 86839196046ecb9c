#!/usr/bin/env bash
# Installs the Debian packages Cofralin needs to build, run and test (as root).
set -euo pipefail
# The fonts are those the window tests fit every window to; weston and
# qt6-wayland run the program on a Wayland compositor in the package test.
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
          libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev
          xvfb xauth x11-utils xdotool imagemagick
          dpkg-dev file clang clang-format libclang-rt-14-dev
          lintian appstream desktop-file-utils
          qemu-system-x86 busybox-static xz-utils
          fonts-dejavu-core fonts-noto-core fonts-cantarell fonts-liberation2
          weston qt6-wayland)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
