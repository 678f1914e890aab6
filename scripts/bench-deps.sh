#!/usr/bin/env bash
# Installs the peer libraries the benchmarks measure against.
set -euo pipefail
bash "$(dirname "$0")/deps.sh"
packages=(libxml2-dev libpugixml-dev libtinyxml2-dev libxerces-c-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
