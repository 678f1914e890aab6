#!/usr/bin/env bash
# One command for the speed and memory figures: installs the peers, builds
# the benchmarks, runs parse and write in both allocator settings and the
# memory figures in fresh processes, and prints the table.
#   TQXML_BENCH_REPETITIONS  repetitions per benchmark (default 5)
#   TQXML_BENCH_OUT          where the JSON results go (default build/bench/results)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bench-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target bench_parse bench_xmlout bench_memory >/dev/null

bin=build/bench/bench
out=${TQXML_BENCH_OUT:-build/bench/results}
repetitions=${TQXML_BENCH_REPETITIONS:-5}
mkdir -p "$out"
aggregates=(--benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true
  --benchmark_out_format=json)

# Each parser runs in a process of its own: a peer measured after another
# parser's runs in one process inherits that parser's heap state, which was
# seen to make one peer's parse of records.xml eight times slower.
for keep in 0 1; do
  for parser in tqxml pugixml tinyxml2; do
    echo "parse, $parser, TQXML_BENCH_KEEP_MEMORY=$keep ..." >&2
    TQXML_BENCH_KEEP_MEMORY=$keep "$bin/bench_parse" "${aggregates[@]}" \
      --benchmark_filter="^($parser/utf(8|16)/[^/]*\\.xml(/real_time)?|threads(-same-text)?/$parser(-one-core)?/.*)\$" \
      --benchmark_out="$out/parse-$keep-$parser.json" >"$out/parse-$keep-$parser.txt"
  done
  echo "write, TQXML_BENCH_KEEP_MEMORY=$keep ..." >&2
  for writer in tqxml_memory pugixml_utf16_memory; do
    TQXML_BENCH_KEEP_MEMORY=$keep "$bin/bench_xmlout" "${aggregates[@]}" \
      --benchmark_filter="^$writer/" \
      --benchmark_out="$out/xmlout-$keep-$writer.json" >"$out/xmlout-$keep-$writer.txt"
  done
done

echo "memory ..." >&2
for parser in tqxml pugixml tinyxml2 libxml2; do
  for doc in records.xml attrs.xml; do
    "$bin/bench_memory" --benchmark_filter="^$parser/$doc/" --benchmark_out_format=json \
      --benchmark_out="$out/memory-$parser-$doc.json" >/dev/null
  done
done

python3 scripts/bench_table.py "$out"
