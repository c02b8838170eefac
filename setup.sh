#!/usr/bin/env bash
# Installs the Debian packages the build needs. Quiet and idempotent: does
# nothing when everything is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang
  libsdl2-dev libgl1-mesa-dev libqhull-dev libjpeg62-turbo-dev
  libgtest-dev libbenchmark-dev libeigen3-dev
  libccd-dev python3
  libsdl2-image-dev libtiff-dev libpixman-1-dev
  libboost-graph-dev
  libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
  xvfb
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
