#!/usr/bin/env bash
# Mutation check: applies each small source change listed in
# scripts/mutants.txt in turn, rebuilds the test binary that covers it, runs
# it, and restores the source. A mutant is killed when its tests fail.
# Prints killed/total; the score must not drop when tests are cut.
#
#   bash scripts/mutants.sh            # every mutant
#   bash scripts/mutants.sh 3 7        # mutants 3 to 7 only
#   MUTANTS_TARGETS="tests_platform tests_xmlout" bash scripts/mutants.sh
#                                      # only the mutants of those test targets
#   MUTANTS_JOBS=1                     # build jobs (default: nproc)
#
# Line format of mutants.txt (fields split by " ||| "):
#   file ||| test target ||| text as it stands (must occur exactly once) ||| mutated text
set -uo pipefail
cd "$(dirname "$0")/.."
list=scripts/mutants.txt
build=build/mutants
first=${1:-1}
last=${2:-999999}
only=" ${MUTANTS_TARGETS:-} "
jobs=${MUTANTS_JOBS:-$(nproc)}
# A mutant counts when no target filter is set or its target is named in it.
wanted() { [ -z "${MUTANTS_TARGETS:-}" ] || [[ "$only" == *" $1 "* ]]; }

# The test binaries the chosen mutants need; they must build and pass
# unmutated, or every mutant would read as killed.
targets=$(grep -v '^#' "$list" | grep -v '^$' | sed -n "${first},${last}p" |
  awk -F' [|][|][|] ' '{print $2}' | sort -u |
  while read -r t; do wanted "$t" && echo "$t"; done)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
for target in $targets; do
  cmake --build "$build" -j "$jobs" --target "$target" >/dev/null ||
    { echo "$target does not build unmutated"; exit 2; }
  timeout 300 "$build/tests/$target" --gtest_brief=1 >/dev/null 2>&1 ||
    { echo "$target fails unmutated"; exit 2; }
done

killed=0 total=0 n=0
while IFS= read -r line; do
  case "$line" in ''|'#'*) continue ;; esac
  n=$((n + 1))
  [ "$n" -lt "$first" ] || [ "$n" -gt "$last" ] && continue
  file=${line%% ||| *}; rest=${line#* ||| }
  target=${rest%% ||| *}; rest=${rest#* ||| }
  wanted "$target" || continue
  before=${rest%% ||| *}; after=${rest#* ||| }
  backup=$(mktemp)
  cp "$file" "$backup"
  if ! python3 - "$file" "$before" "$after" <<'PY'
import sys
path, before, after = sys.argv[1:]
text = open(path, encoding="utf-8").read()
if text.count(before) != 1:
    sys.exit(f"{path}: the text occurs {text.count(before)} times: {before}")
open(path, "w", encoding="utf-8").write(text.replace(before, after))
PY
  then
    rm -f "$backup"; echo "mutant $n: cannot apply (not counted: fix its line)"; continue
  fi
  if ! cmake --build "$build" -j "$jobs" --target "$target" >/dev/null 2>&1; then
    verdict="does not build (not counted: fix its line)"
  elif ! timeout 300 "$build/tests/$target" --gtest_brief=1 >/dev/null 2>&1; then
    verdict="killed"; killed=$((killed + 1)); total=$((total + 1))
  else
    verdict="SURVIVED"; total=$((total + 1))
  fi
  cp "$backup" "$file"; rm -f "$backup"
  touch "$file"
  echo "mutant $n ($file): $verdict"
done < "$list"
for target in $targets; do cmake --build "$build" -j "$jobs" --target "$target" >/dev/null; done
echo "mutation score: $killed/$total killed"
