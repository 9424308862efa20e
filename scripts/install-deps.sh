#!/usr/bin/env bash
# Installs every Debian package that building, testing and running VESTAN9
# needs. Quick when everything is already there.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  clang-format
  libwim-dev
  # The view drawn with no display: EGL on Mesa's surfaceless platform with
  # its software GL driver, the OpenGL and GLU headers, and libpng for images.
  libegl-dev
  libgl-dev
  libopengl-dev
  libglu1-mesa-dev
  libegl-mesa0
  libgl1-mesa-dri
  libpng-dev
  # The fuzz targets: clang 16 (14 lacks C++20's capture of structured
  # bindings), its libFuzzer and sanitizer runtimes, and the symboliser.
  clang-16
  libclang-rt-16-dev
  llvm-16
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=300 update
$sudo apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends "${missing[@]}"
