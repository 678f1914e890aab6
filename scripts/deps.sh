#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test tqxml, plus
# any further packages named as arguments.
set -euo pipefail
packages=(cmake g++ clang clang-format libclang-rt-14-dev make pkg-config git libgtest-dev libbenchmark-dev libxml2-dev locales "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
# The number tests run once under a comma-decimal locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
