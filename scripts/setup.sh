#!/usr/bin/env bash
# Installs the Debian packages Vistrel needs (when missing), then configures and builds it
# in Release into build/. Used by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libpng-dev
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libheif-dev libwebp-dev libgif-dev libjxl-dev libtiff-dev libraw-dev liblcms2-dev zlib1g-dev
  libinput-dev libudev-dev libdrm-dev
  librsvg2-bin dpkg-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick
  ccache
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq || true
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

build_dir=${VISTREL_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$build_dir" -j "$(nproc)"
