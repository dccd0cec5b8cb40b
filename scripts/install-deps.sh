#!/usr/bin/env bash
# Installs the Debian packages Tessra needs to build, test and benchmark.
# Does nothing when they are all present already.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang pkg-config
  libncurses-dev libicu-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  libgmime-3.0-dev libcsv-dev
  tmux
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
