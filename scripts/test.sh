#!/usr/bin/env bash
# Builds and runs the whole test suite: release, ASan+UBSan, ThreadSanitizer
# for the threaded areas, and consumers that take the library as an installed
# package, with add_subdirectory and with FetchContent; then the Windows
# cross build under Wine.
# `scripts/test.sh consumer` runs only the consumer part (on the release build);
# `scripts/test.sh windows` runs only the Windows part: a MinGW-w64 cross
# build whose tool, tests and consumer run under Wine (last in the full run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

consumers() {
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$jobs" --target tqxml tqxmltool

  # The installed package, and the installed tool running from its prefix.
  rm -rf build/install build/consumer-*
  cmake --install build/release --prefix "$PWD/build/install" >/dev/null
  cmake -S tests/consumer -B build/consumer-package -DCMAKE_PREFIX_PATH="$PWD/build/install" >/dev/null
  cmake --build build/consumer-package -j "$jobs"
  build/consumer-package/consumer
  PKG_CONFIG_PATH="$PWD/build/install/lib/pkgconfig" pkg-config --exists tqxml
  env -u LD_LIBRARY_PATH build/install/bin/tqxmltool >/dev/null
  env -u LD_LIBRARY_PATH build/install/bin/tqxmltool check build/install/share/tqxml/sample.xml >/dev/null

  # The source tree pulled into another project's build.
  for way in subdirectory fetchcontent; do
    cmake -S tests/consumer -B "build/consumer-$way" -DTQXML_CONSUME="$way" -DTQXML_SOURCE_DIR="$PWD" >/dev/null
    cmake --build "build/consumer-$way" -j "$jobs" --target consumer
    "build/consumer-$way/consumer"
  done

  # BUILD_TESTING=OFF leaves the tests out of a top-level build too.
  cmake -S . -B build/consumer-notests -DBUILD_TESTING=OFF >/dev/null
  if cmake --build build/consumer-notests --target help | grep -q 'tests_'; then
    echo "BUILD_TESTING=OFF still configured tests" >&2
    exit 1
  fi
  echo "consumer: built and ran as a package, a subdirectory and FetchContent; installed tqxmltool runs"
}

# Runs a Windows program under Wine with its output, both streams, in the
# file "$1". Wine itself now and then drops a run ("wine client error": the
# client lost its wineserver, about once in several hundred runs here), which
# says nothing of the program: such a run is made once more.
wine_logged() {
  local log=$1 rc=0
  shift
  wine "$@" >"$log" 2>&1 || rc=$?
  if [ "$rc" != 0 ] && grep -q "wine client error" "$log"; then
    echo "windows: Wine dropped a run of $*; running it again" >&2
    rc=0
    wine "$@" >"$log" 2>&1 || rc=$?
  fi
  return "$rc"
}

# The same sources cross-built for 64-bit Windows and run under Wine. Only
# this part needs the cross compiler and Wine, so only it installs them.
windows() {
  bash scripts/deps.sh g++-mingw-w64-x86-64-posix mingw-w64-tools wine64
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$jobs"
  export WINEPREFIX="$PWD/build/wine" WINEDEBUG=-all
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
  local bin=build/windows/bin
  wine "$bin/tqxmltool.exe" >/dev/null
  wine "$bin/tqxmltool.exe" check tools/tqxmltool/sample.xml >/dev/null
  # Every test binary once, leaving out the tests tests/windows-skips.txt names.
  local skipped failed=0
  skipped=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' tests/windows-skips.txt | paste -sd: -)
  for program in "$bin"/tests_*.exe; do
    echo "== $(basename "$program")"
    wine_logged build/windows/test.log "$program" --gtest_brief=1 \
      ${skipped:+--gtest_filter="-$skipped"} || failed=1
    cat build/windows/test.log
  done
  [ "$failed" = 0 ] || { echo "windows: some tests failed under Wine" >&2; return 1; }

  # A program built against the installed cross build, run from its own directory.
  rm -rf build/windows-install build/windows-consumer
  cmake --install build/windows --prefix "$PWD/build/windows-install" >/dev/null
  cmake -S tests/windows/consumer -B build/windows-consumer \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -Dtqxml_DIR="$PWD/build/windows-install/lib/cmake/tqxml" >/dev/null
  cmake --build build/windows-consumer -j "$jobs"
  local dlls="Z:$PWD/build/windows-install/bin"
  (cd build/windows-consumer && WINEPATH="$dlls" wine windows_consumer.exe)
  compare_with_linux
  echo "windows: built with MinGW-w64; tqxmltool.exe, the test suite and a consumer pass under Wine"
}

# The same documents through the Linux tool and the Windows one: the trees
# (written out, stored as binary images in both string widths, read back
# from the UTF-16 they were written as), their figures and the parser's
# reports on broken input must be the same byte for byte.
compare_with_linux() {
  # The Linux tool's runs, logged as the Windows ones are.
  run_logged() { "$@" >"$log" 2>&1; }
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$jobs" --target tqxmltool
  local out=build/windows-compare side tool doc name
  rm -rf "$out"
  local log="$out/run.log"  # one run's output, outside what is compared
  for side in linux windows; do
    mkdir -p "$out/$side"
    if [ "$side" = linux ]; then tool=(run_logged build/release/tools/tqxmltool/tqxmltool); else tool=(wine_logged "$log" build/windows/bin/tqxmltool.exe); fi
    # Exit codes go to one log a side: what one refuses, the other must refuse.
    for doc in ../shared/corpus/*.xml fuzz/seeds/*.xml; do
      name="$out/$side/$(basename "$(dirname "$doc")")-$(basename "$doc" .xml)"
      for step in "format $doc $name.xml" "format $name.xml $name.again.xml" \
        "pack $doc $name.img" "pack $doc $name.utf8.img --utf8"; do
        # shellcheck disable=SC2086 # the steps hold no spaces but the separators
        echo "$(basename "$doc") ${step%% *}: $("${tool[@]}" $step; echo $?)" >>"$out/$side/codes"
      done
      "${tool[@]}" stats "$doc" || true
      tr -d '\r' <"$log" | grep -v '^parse time' >"$name.stats" || true
      "${tool[@]}" check "$doc" || true
      tr -d '\r' <"$log" >"$name.check"
    done
  done
  diff -r "$out/linux" "$out/windows" >&2 ||
    { echo "windows: the Windows tool's results differ from the Linux tool's" >&2; return 1; }
  echo "windows: $(ls "$out/linux" | wc -l) results of the corpus and the broken seeds match the Linux tool's"
}

if [ "${1:-}" = consumer ]; then
  consumers
  exit 0
fi
if [ "${1:-}" = windows ]; then
  windows
  exit 0
fi

bash scripts/check-format.sh

for preset in release asan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

# The pool, the heaps, the hooks and the node counts are shared between threads,
# and documents are parsed on several threads at once.
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target tests_contract tests_xmlobj tests_xmlprop tests_parser
ctest --preset tsan -j "$jobs" -R 'StringPool|FixedHeap|ObjectMemory|CriticalSection|Thread|Hook|HashTable|XmlPropThread|SecondHalf'

consumers
windows
