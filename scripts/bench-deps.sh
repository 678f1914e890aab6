#!/usr/bin/env bash
# Installs the peer libraries the benchmarks measure against.
set -euo pipefail
bash "$(dirname "$0")/deps.sh" libpugixml-dev libtinyxml2-dev libxerces-c-dev
