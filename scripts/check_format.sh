#!/usr/bin/env bash
# Checks that every C and C++ source is as .clang-format lays it out, and
# names the files that are not. With --fix, formats them in place instead.
# CI runs it as developers do: scripts/check_format.sh
#
# Formatters of different versions lay out some code differently, so the
# check uses Debian 12's clang-format 14 (CLANG_FORMAT overrides it).
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=${CLANG_FORMAT:-$(command -v clang-format-14 || command -v clang-format || true)}
if [ -z "$clang_format" ]; then
  echo "check_format: clang-format not found (apt-get install clang-format)" >&2
  exit 2
fi

# The source folders, searched rather than asked of git so that the check
# also runs on an unpacked source tree.
mapfile -d '' files < <(find bench fuzz include js lib platform programs python tests \
  -name node_modules -prune -o -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) \
  -print0 | sort -z)

if [ "${1:-}" = --fix ]; then
  "$clang_format" -i "${files[@]}"
  exit 0
fi
bad=()
for file in "${files[@]}"; do
  "$clang_format" --dry-run --Werror "$file" 2>/dev/null || bad+=("$file")
done
if [ ${#bad[@]} -gt 0 ]; then
  # The first lines of each file's difference, so a CI log shows what to change.
  for file in "${bad[@]}"; do
    diff -u "$file" <("$clang_format" "$file") --label "$file" --label "$file (formatted)" | head -n 20 >&2 || true
  done
  echo "check_format: ${#bad[@]} of ${#files[@]} files differ from .clang-format;" \
    "scripts/check_format.sh --fix formats them" >&2
  exit 1
fi
echo "check_format: ${#files[@]} files as .clang-format lays them out"
