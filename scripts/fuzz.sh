#!/usr/bin/env bash
# Fuzzes one target for the given number of seconds (default 60): opendoc
# (the text loader, the default) or image (the binary image reader); clang,
# libFuzzer, ASan+UBSan. New inputs collect in fuzz/corpus-work (opendoc) or
# fuzz/corpus-work-<target>; crashes land in build/fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
target=${2:-opendoc}
case "$target" in
  opendoc) seeds=fuzz/seeds; work=fuzz/corpus-work ;;
  image) seeds=fuzz/image_seeds; work=fuzz/corpus-work-image ;;
  *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
esac
bash scripts/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "fuzz_$target"
mkdir -p "$work" build/fuzz/crashes
"build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=60 -rss_limit_mb=4096 \
  -artifact_prefix=build/fuzz/crashes/ "$work" "$seeds"
