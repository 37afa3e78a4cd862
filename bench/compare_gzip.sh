#!/usr/bin/env bash
# Compressed size of ls11 pack's two levels against gzip -9 on the same
# blocks (one entry, or one gzip stream, per file), and the encoder's speed.
# Every file ls11 writes is decoded again with unls11 and compared with its
# input, and a repack of it as well.
#
#   bench/compare_gzip.sh [BUILD_DIR] [MIB_PER_KIND]
#
# The corpus is taken from this machine: text from /usr/include and
# /usr/share/doc, binaries from /usr/bin and /usr/lib, regular files of
# 1 KiB to 4 MiB in sorted path order, half of MIB_PER_KIND (default 4)
# from each root. Or pass CORPUS_DIRS="name=dir ..." to pack every file
# of each dir instead (the speed benchmark's corpus, say).
set -euo pipefail

# What the script uses besides the tools: bc for the arithmetic, gzip.
need=()
command -v bc >/dev/null || need+=(bc)
command -v gzip >/dev/null || need+=(gzip)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
fi

build=${1:-build/default}
mib=${2:-4}
ls11=$build/ls11
unls11=$build/unls11
[ -x "$ls11" ] && [ -x "$unls11" ] || { echo "build ls11 and unls11 first ($build)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Lists up to $mib / 2 MiB of files under the given root (NUL-separated).
pick() {
  local budget=$((mib << 19))
  find "$@" -type f -size +1k -size -4097k \! -name '*.gz' \! -name '*.xz' \! -name '*.bz2' \
       \! -name '*.zst' \! -name '*.png' \! -name '*.jpg' -readable -print0 2>/dev/null |
    sort -z | while IFS= read -r -d '' f; do
      local size
      size=$(stat -c %s "$f")
      [ "$size" -le "$budget" ] || continue
      printf '%s\0' "$f"
      budget=$((budget - size))
      [ "$budget" -gt 1024 ] || break
    done || true  # the break ends find and sort early
}

# CPU seconds (user + system) a command takes: the machine may be shared,
# and wall time would measure the neighbours.
TIMEFORMAT='%3U %3S'
cpu_seconds() {
  local t
  t=$( { time "$@" >/dev/null; } 2>&1 | tail -1)
  echo "${t% *} + ${t#* }" | bc -l
}

gzip_each() { for f in "$@"; do gzip -9 -c -- "$f"; done; }

# One kind: its files are packed into one LS11 file per level.
measure() {
  local kind=$1 list=$2
  local -a files
  mapfile -d '' files < "$list"
  local input=0 gz=0
  cat -- "${files[@]}" > "$work/$kind.all"
  input=$(stat -c %s "$work/$kind.all")
  for f in "${files[@]}"; do gz=$((gz + $(gzip -9 -c -- "$f" | wc -c))); done
  local gzip_time
  gzip_time=$(cpu_seconds gzip_each "${files[@]}")
  printf '%-7s %4d files %9d bytes | gzip -9 %9d (%4.1f%%, %5.1f MB/s)' "$kind" "${#files[@]}" \
    "$input" "$gz" "$(echo "100 * $gz / $input" | bc -l)" "$(echo "$input / 1000000 / $gzip_time" | bc -l)"
  for level in fast best; do
    local out=$work/$kind.$level.LS11
    local pack_time
    pack_time=$(cpu_seconds "$ls11" pack --level "$level" -o "$out" -- "${files[@]}")
    local packed
    packed=$("$ls11" list --json "$out" | sed -n 's/.*"total_packed": \([0-9]*\).*/\1/p')
    printf ' | %s %9d (%4.1f%%, %5.2f MB/s)' "$level" "$packed" "$(echo "100 * $packed / $input" | bc -l)" \
      "$(echo "$input / 1000000 / $pack_time" | bc -l)"
    check "$out" "$work/$kind.all"
    # The decoded file packed back with the same boundaries must decode
    # to the same bytes again.
    "$ls11" repack --level fast "$out" "$out.DEC" -o "$work/re.LS11"
    check "$work/re.LS11" "$work/$kind.all"
    rm -f "$out" "$out.DEC" "$work/re.LS11" "$work/re.LS11.DEC"
  done
  echo
}

# unls11 must decode $1 to exactly the bytes of $2.
check() {
  "$unls11" "$1" | grep -q "Succeeded: 1," || { echo "unls11 failed on $1" >&2; exit 1; }
  cmp -s "$1.DEC" "$2" || { echo "$1 does not decode to its input" >&2; exit 1; }
}

if [ -n "${CORPUS_DIRS:-}" ]; then
  for kind_dir in $CORPUS_DIRS; do
    find "${kind_dir#*=}" -type f -print0 | sort -z > "$work/list"
    measure "${kind_dir%%=*}" "$work/list"
  done
else
  { pick /usr/include; pick /usr/share/doc; } > "$work/list"
  measure text "$work/list"
  { pick /usr/bin; pick /usr/lib; } > "$work/list"
  measure binary "$work/list"
fi
echo "every packed and repacked file decoded with unls11 to its input"
