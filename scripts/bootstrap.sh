#!/usr/bin/env bash
# Installs what building and testing tavrin needs on a fresh Debian 12
# machine (run as root).  Installs only the packages that are missing; when
# everything is present it touches no package index and returns at once.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

# One package a line, so that additions merge cleanly.
packages=(
  cmake
  ninja-build
  g++
  clang
  libclang-rt-14-dev
  libgtest-dev
  libbenchmark-dev
  libpng-dev
  ffmpeg
  libxvidcore-dev
  mkvtoolnix
  pkg-config
  python3
  libgstreamer1.0-dev
  libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-good
  gstreamer1.0-tools
)

missing=()
for p in "${packages[@]}"; do
  # A package counts as present only when dpkg reports it fully installed.
  if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "bootstrap: all ${#packages[@]} packages already installed; nothing to do"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: missing packages (${missing[*]}); run this script as root to install them" >&2
  exit 1
fi

apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "bootstrap: installed ${missing[*]}"
