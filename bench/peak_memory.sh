#!/usr/bin/env bash
# Peak memory of unls11 against the number of blocks: every file holds the
# same largest block (4 MiB of output), so the peak should stay near 4 MiB
# above the tool's baseline whatever the count, growing only by the entry
# table (12 bytes per entry). Measured with /usr/bin/time -v (package
# "time", installed when missing); uses the default preset's unls11,
# building it when missing.
#   bench/peak_memory.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -x /usr/bin/time ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends time
fi
tool=build/default/unls11
[ -x "$tool" ] || { cmake --preset default >/dev/null && cmake --build --preset default -j2 --target unls11 >/dev/null; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -Itests bench/peak_memory_files.cpp tests/support/ls11_writer.cpp -o "$work/peak_memory_files"
"$work/peak_memory_files" "$work"

# The baseline: a file with one empty block.
printf 'LS11\0\0\0\0\0\0\0\0\0\0\0\0' >"$work/baseline.ls11"
head -c 256 /dev/zero >>"$work/baseline.ls11"
printf '\0\0\0\0\0\0\0\0\0\0\1\40\0\0\0\0' >>"$work/baseline.ls11"

peak_kib() {
  /usr/bin/time -v "$tool" "$1" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}

base=$(peak_kib "$work/baseline.ls11")
printf '%-32s %12s %12s %14s\n' file "file KiB" "output KiB" "peak-base KiB"
for f in baseline large_blocks_1 large_blocks_4 large_blocks_16 large_blocks_64 one_large_100000_small; do
  peak=$(peak_kib "$work/$f.ls11")
  printf '%-32s %12d %12d %14d\n' "$f" $(( $(stat -c %s "$work/$f.ls11") / 1024 )) \
    $(( $(stat -c %s "$work/$f.ls11.DEC") / 1024 )) $(( peak - base ))
  rm -f "$work/$f.ls11.DEC"
done
