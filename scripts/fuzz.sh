#!/usr/bin/env bash
# Fuzzes the text loader for the given number of seconds (default 60):
# clang, libFuzzer, ASan+UBSan. New inputs collect in fuzz/corpus-work;
# crashes land in build/fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_opendoc
mkdir -p fuzz/corpus-work build/fuzz/crashes
build/fuzz/fuzz/fuzz_opendoc -max_total_time="$seconds" -max_len=65536 -timeout=60 -rss_limit_mb=4096 \
  -artifact_prefix=build/fuzz/crashes/ fuzz/corpus-work fuzz/seeds
