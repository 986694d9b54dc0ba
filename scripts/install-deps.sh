#!/usr/bin/env bash
# Installs what building, testing and benchmarking Stipplex needs (Debian).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  clang libclang-rt-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libagg-dev libcairo2-dev  # the rasteriser comparison in bench/ only
  libpng-dev libopenexr-dev libcli11-dev nlohmann-json3-dev libcpp-httplib-dev
  libavformat-dev libavcodec-dev libavfilter-dev libavutil-dev libswscale-dev ffmpeg parallel
  chromium fonts-wqy-microhei
  mingw-w64 wine wine64 xvfb xauth x11-apps locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A locale with a decimal comma, for the stored-defaults tests.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  echo "Generating the locale de_DE.UTF-8"
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
