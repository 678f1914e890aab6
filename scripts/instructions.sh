#!/usr/bin/env bash
# Instructions per parse and release of corpus documents on one thread,
# from UTF-16 and from UTF-8 text, counted by callgrind: a figure that a busy
# neighbour on the machine does not move, for comparing two commits of the
# parser (it counts work, not cache misses or stalls). Needs valgrind.
#   bash scripts/instructions.sh [DOCUMENT...]   # default: every corpus document
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench --target parse_loop >/dev/null
if [ $# -eq 0 ]; then
  set -- Gio-2.0.gir.xml attrs.xml deep.xml docbook-5.0.rng.xml freedesktop.org.xml \
    iso_639-3.xml libxml2-api.xml records.xml text.xml wide.xml
fi
printf '%-24s %15s %15s\n' document utf16 utf8
for doc in "$@"; do
  parses=1
  [ "$doc" = deep.xml ] && parses=5  # small: a few parses for a steadier count
  counts=()
  for encoding in utf16 utf8; do
    ir=$(valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file=/dev/null \
      build/bench/bench/parse_loop "$doc" "$encoding" "$parses" 2>&1 |
      awk '/Collected/ {print $4}')
    counts+=($((ir / parses)))
  done
  printf '%-24s %15d %15d\n' "$doc" "${counts[0]}" "${counts[1]}"
done
