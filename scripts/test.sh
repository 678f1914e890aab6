#!/usr/bin/env bash
# Builds and runs the whole test suite: release, ASan+UBSan, ThreadSanitizer
# for the threaded areas, and a consumer build against the installed package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/check-format.sh
jobs=$(nproc)

for preset in release asan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

# The pool, the heaps, the hooks and the node counts are shared between threads.
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target tests_contract tests_xmlobj
ctest --preset tsan -j "$jobs" -R 'StringPool|FixedHeap|ObjectMemory|CriticalSection|Thread|Hook|HashTable'

# A project outside the tree builds against the installed package.
rm -rf build/install build/consumer
cmake --install build/release --prefix "$PWD/build/install" >/dev/null
cmake -S tests/consumer -B build/consumer -DCMAKE_PREFIX_PATH="$PWD/build/install" >/dev/null
cmake --build build/consumer -j "$jobs"
build/consumer/consumer
PKG_CONFIG_PATH="$PWD/build/install/lib/pkgconfig" pkg-config --exists tqxml
echo "consumer: built and ran against the installed package"
