#!/usr/bin/env bash
# Checks the Windows release zip: unpacked into a fresh folder, it holds
# the tools, ls11.dll with its import library and header, the Python
# module, the README, the licence and the manual pages as plain text; the tools run from there
# (under Wine), unls11.exe as Explorer starts it when a file is dropped on
# it (the file's full path, from another folder), and a program built
# against the header and import library loads ls11.dll.
# Usage: check_zip.sh ZIP SAMPLES_DIR CC RUNNER...   (RUNNER: env ... wine)
set -euo pipefail
zip=$(realpath "$1") samples=$(realpath "$2") cc=$3
shift 3
run=("$@")
[ -f "$zip" ] || { echo "missing $zip: run cpack first"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
(cd "$dir" && cmake -E tar xf "$zip")
top="$dir/$(basename "$zip" .zip)"
status=0
for file in bin/unls11.exe bin/ls11.exe bin/ls11.dll lib/libls11.dll.a include/ls11.h README.md LICENSE \
            doc/ls11.txt doc/unls11.txt lib/python3/dist-packages/ls11/__init__.py share/ls11kit/ls11kit.html; do
  [ -f "$top/$file" ] || { echo "the zip lacks $file"; status=1; }
done
# Plain text: no roff requests, no overstriking.
if grep -q $'\b' "$top/doc/ls11.txt" || grep -q '^\.' "$top/doc/ls11.txt" ||
   ! grep -q 'ls11 replace' "$top/doc/ls11.txt"; then
  echo "doc/ls11.txt is not the manual page as plain text"
  status=1
fi

# A file dropped on unls11.exe: its full Windows path, in a folder with a
# space, the program started from elsewhere.
mkdir "$dir/My Game"
cp "$samples/records.LS11" "$dir/My Game/"
windows_path="Z:$(tr / '\\' <<<"$dir/My Game/records.LS11")"
report=$(cd "$top" && "${run[@]}" "$top/bin/unls11.exe" "$windows_path")
expected_report="$windows_path : OK.

Total targets: 1, Succeeded: 1, Failed: 0"
[ "$report" = "$expected_report" ] || { echo "unls11.exe printed: $report"; status=1; }
cmp "$dir/My Game/records.LS11.DEC" "$samples/records.expected" || status=1

printf 'new words of another length' >"$dir/new.txt"
"${run[@]}" "$top/bin/ls11.exe" replace "$dir/My Game/records.LS11" -o "$dir/new.LS11" "0=$dir/new.txt" || status=1
[ "$("${run[@]}" "$top/bin/ls11.exe" cat "$dir/new.LS11" 0)" = 'new words of another length' ] ||
  { echo "ls11.exe replace/cat failed"; status=1; }

# The DLL through its header and import library.
cat >"$dir/version.c" <<'C'
#include <stdio.h>
#include "ls11.h"
int main(void) { printf("%s\n", ls11_version_string()); return 0; }
C
"$cc" -I"$top/include" "$dir/version.c" "$top/lib/libls11.dll.a" -o "$top/bin/version.exe" || status=1
version=$("${run[@]}" "$top/bin/version.exe" | tr -d '\r')
[ "$version" = "$(basename "$zip" .zip | sed 's/^ls11kit-//; s/-win64$//')" ] ||
  { echo "ls11.dll gave version '$version'"; status=1; }
# The Python module's recorded library path, relative to the module, leads
# to ls11.dll in the unpacked zip.
module=$top/lib/python3/dist-packages/ls11
[ -f "$module/$(tr -d '\r\n' <"$module/_library_path")" ] ||
  { echo "the Python module's _library_path does not lead to ls11.dll: $(cat "$module/_library_path")"; status=1; }
[ $status -eq 0 ] && echo "$(basename "$zip"): OK"
exit $status
