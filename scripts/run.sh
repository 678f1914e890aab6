#!/usr/bin/env bash
# Builds the project and runs its main job on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
build/release/tools/tqxmltool/tqxmltool "$@"
