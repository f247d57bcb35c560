#!/usr/bin/env bash
# Installs everything this project needs on a Debian 12 machine. Safe to run again: it only
# installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  build-essential cmake ninja-build pkg-config python3 git ca-certificates
  libjpeg62-turbo-dev libtiff-dev libpng-dev zlib1g-dev libdeflate-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  mingw-w64 wine64 xvfb xauth
  dpkg-dev nasm
  liblcms2-dev libfftw3-dev xdotool imagemagick
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Windows builds link zlib, libpng, libjpeg and libtiff statically; Debian ships no mingw
# builds of them, so they are cross-built from Debian's own source packages.
as_root bash tools/setup-mingw-libs.sh
echo "setup: done"
