#!/usr/bin/env bash
# Installs the Debian packages Cofralin needs to build, run and test (as root).
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev
          libgtest-dev libgmock-dev xvfb xauth x11-utils xdotool imagemagick
          dpkg-dev file clang clang-format libclang-rt-14-dev
          lintian appstream desktop-file-utils
          qemu-system-x86 busybox-static xz-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
