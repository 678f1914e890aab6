#!/usr/bin/env bash
# Paired speed comparison of the working tree against an earlier commit:
# both builds of the library parse in one process, in alternating rounds
# (bench/paired/paired.cpp), so that the machine's noise falls on both.
#   bash scripts/paired.sh REV [ROUNDS] [DOC:utf8|utf16|write|threads:PARSES ...]
# REV "pugixml" compares with that peer instead (bench/paired/pugixml_driver.cpp;
# install it with scripts/bench-deps.sh).
# Prints per document the median base and new times (ms) and the median
# ratio (above 1: the working tree is faster) with its quartiles. One thread
# by default (CPU time); PAIRED_SPLIT=1 lets large parses use the second
# thread. "write" times writing the document's tree to a memory sink.
# "threads" gives each build's throughput of two threads parsing at once
# (each a document of its own) over that of one, by the wall clock, and the
# ratio of the two scalings.
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${1:?usage: scripts/paired.sh REV [ROUNDS] [DOC:utf8|utf16|write|threads:PARSES ...]}
rounds=${2:-30}
shift $(($# < 2 ? $# : 2))
documents=("$@")
if [ ${#documents[@]} -eq 0 ]; then
  documents=(records.xml:utf8:1 records.xml:utf16:1 attrs.xml:utf8:1 attrs.xml:utf16:1
    Gio-2.0.gir.xml:utf16:1 freedesktop.org.xml:utf8:1 iso_639-3.xml:utf16:3
    libxml2-api.xml:utf16:3 docbook-5.0.rng.xml:utf16:5 wide.xml:utf16:3 deep.xml:utf16:20)
fi
bash scripts/deps.sh patchelf >/dev/null
out=$PWD/build/paired
mkdir -p "$out"

# The libraries alone, from the working tree and from the commit.
build_libraries() { # SOURCE BUILD
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DTQXML_BUILD_TESTS=OFF \
    -DTQXML_BUILD_TOOLS=OFF >/dev/null
  cmake --build "$2" -j "$(nproc)" --target tqxml >/dev/null
}
if [ "$rev" != pugixml ]; then
  rm -rf "$out/base-source"
  mkdir -p "$out/base-source"
  git archive "$rev" | tar -x -C "$out/base-source"
  # The archive's files carry the commit's time, which can be older than
  # objects built from another commit: make would keep those. So a build of
  # another commit starts over.
  sha=$(git rev-parse "$rev^{commit}")
  [ "$(cat "$out/base-build/built-from" 2>/dev/null)" = "$sha" ] || rm -rf "$out/base-build"
  build_libraries "$out/base-source" "$out/base-build"
  echo "$sha" >"$out/base-build/built-from"
fi
build_libraries "$PWD" "$out/new-build"

# Copies whose sonames carry the build's name, so that both load side by
# side, and a driver for each, compiled against its own headers.
variant() { # NAME SOURCE BUILD
  local dir=$out/$1
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$3/contract/libtqcore.so.0.1.0" "$dir/libtqcore-$1.so"
  cp "$3/src/libtqxml.so.0.1.0" "$dir/libtqxml-$1.so"
  patchelf --set-soname "libtqcore-$1.so" "$dir/libtqcore-$1.so"
  patchelf --set-rpath "$dir" "$dir/libtqcore-$1.so"
  patchelf --set-soname "libtqxml-$1.so" "$dir/libtqxml-$1.so"
  patchelf --replace-needed libtqcore.so.0 "libtqcore-$1.so" "$dir/libtqxml-$1.so"
  patchelf --set-rpath "$dir" "$dir/libtqxml-$1.so"
  c++ -O2 -std=c++17 -shared -fPIC -fvisibility=hidden -I"$2/src" -I"$2/include" \
    -I"$2/contract/include" -I"$2/platform/include" bench/paired/driver.cpp \
    -o "$dir/driver.so" -Wl,--no-as-needed -L"$dir" -l:"libtqxml-$1.so" -l:"libtqcore-$1.so" \
    -Wl,-rpath,"$dir"
}
if [ "$rev" = pugixml ]; then
  mkdir -p "$out/base"
  c++ -O2 -std=c++17 -shared -fPIC -fvisibility=hidden bench/paired/pugixml_driver.cpp \
    -o "$out/base/driver.so" -lpugixml
  label=pugixml
else
  variant base "$out/base-source" "$out/base-build"
  label=$(git rev-parse --short "$rev")
fi
variant new "$PWD" "$out/new-build"
c++ -O2 -std=c++17 -Iplatform/include -DTQXML_CORPUS_DIR="\"$PWD/../shared/corpus\"" \
  bench/paired/paired.cpp -o "$out/paired" "$out/new-build/platform/libtqplatform.a" -ldl -pthread

echo "$label against the working tree, $rounds rounds"
"$out/paired" "$out/base/driver.so" "$out/new/driver.so" "$rounds" "${documents[@]}"
