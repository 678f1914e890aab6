#!/usr/bin/env bash
# Fails when a tracked C++ file does not follow .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=$(git ls-files -z '*.cpp' '*.h' | xargs -0 -n 32 clang-format --dry-run 2>&1 | grep -o '^[^:]*\.\(cpp\|h\)' | sort -u || true)
if [ -n "$bad" ]; then
  echo "not formatted (run clang-format -i on them):"
  echo "$bad"
  exit 1
fi
echo "format: every tracked C++ file follows .clang-format"
