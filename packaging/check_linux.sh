#!/usr/bin/env bash
# Checks the Linux release packages: the .deb (listed with dpkg-deb -c)
# holds the tools, the library with its header, CMake and pkg-config files,
# the Python module and the manual pages, and names what it depends on;
# its tools, unpacked into a fresh folder, decode a sample; the .tar.gz
# holds the same files; in both, unpacked, the Python module finds the
# library beside it with the system's python3.
# Usage: check_linux.sh BUILD_DIR TGZ SAMPLES_DIR
set -euo pipefail
build=$1 tgz=$2 samples=$(realpath "$3")
debs=("$build"/ls11kit_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "no single .deb in $build: run cpack first"; exit 1; }
deb=${debs[0]}
[ -f "$tgz" ] || { echo "missing $tgz: run cpack first"; exit 1; }

expected=(
  'usr/bin/ls11' 'usr/bin/unls11' 'usr/include/ls11\.h'
  'usr/lib/.*libls11\.so\.1' 'usr/lib/.*libls11\.a'
  'usr/lib/.*cmake/ls11/ls11Config\.cmake' 'usr/lib/.*pkgconfig/ls11\.pc'
  'usr/share/man/man1/ls11\.1' 'usr/share/man/man1/unls11\.1'
  'usr/share/doc/ls11kit/README\.md' 'usr/share/doc/ls11kit/LICENSE'
  'usr/lib/python3/dist-packages/ls11/__init__\.py'
  'usr/share/ls11kit/ls11kit\.html'
)
deb_files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||')
tgz_files=$(tar tzf "$tgz" | sed 's|^[^/]*/||')
status=0
for pattern in "${expected[@]}"; do
  grep -Eq "^${pattern}\$" <<<"$deb_files" || { echo ".deb lacks $pattern"; status=1; }
  grep -Eq "^${pattern#usr/}\$" <<<"$tgz_files" || { echo ".tar.gz lacks ${pattern#usr/}"; status=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
grep -q libc6 <<<"$depends" || { echo "Depends does not name libc6: '$depends'"; status=1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
cp "$samples/records.LS11" "$root/"
(cd "$root" && LD_LIBRARY_PATH="$root/usr/lib" ./usr/bin/unls11 records.LS11 >/dev/null)
cmp "$root/records.LS11.DEC" "$samples/records.expected" || status=1
"$root/usr/bin/ls11" verify "$root/records.LS11" || status=1

# The Python module finds the library through the path recorded beside it,
# relative to itself: no path of the machine that built the package.
tgz_root=$(mktemp -d)
trap 'rm -rf "$root" "$tgz_root"' EXIT
tar xzf "$tgz" -C "$tgz_root" --strip-components=1
for top in "$root/usr" "$tgz_root"; do
  (cd / && PYTHONPATH="$top/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 python3 -c '
import os, sys, ls11
sys.exit(not ls11.library_path.startswith(sys.argv[1] + os.sep) or ls11.open(sys.argv[2]).read_all() != open(sys.argv[3], "rb").read())' \
    "$top" "$samples/records.LS11" "$samples/records.expected") || { echo "the Python module in $top failed"; status=1; }
done
[ $status -eq 0 ] && echo "$(basename "$deb") and $(basename "$tgz"): OK"
exit $status
