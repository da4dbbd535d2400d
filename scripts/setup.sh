#!/usr/bin/env bash
# Installs everything needed to build, test and run Pelmar-k1 on Debian 12.
set -euo pipefail
packages=(
  build-essential cmake pkg-config binutils git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libcli11-dev libsamplerate0-dev
  libxcb1-dev libcairo2-dev libfreetype-dev fonts-liberation2 libstb-dev libxcb-xtest0-dev xvfb
  clang-14 libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
