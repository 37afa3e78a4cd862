#!/usr/bin/env bash
# Checks a Linux release .tar.gz: it holds the tools, the library (shared,
# named after its soname, and static) with its header, CMake and pkg-config
# files, the Python module, the manual pages and the page. The tools are
# static executables: each decodes a sample in an otherwise empty root
# (chroot into a folder holding only the tool, the sample and, for another
# architecture, the static emulator). A C program built against the
# unpacked library, shared and wholly static, decodes a sample; pkg-config
# and the Python module (on this machine's own architecture) find the
# library wherever the archive is unpacked; no path of the build machine is
# recorded.
# Usage: check_tarball.sh TGZ SAMPLES_DIR CC [EMULATOR...]
# (EMULATOR: the cross build's, e.g. qemu-aarch64-static -L /usr/aarch64-linux-gnu)
set -euo pipefail
tgz=$(realpath "$1") samples=$(realpath "$2") cc=$3
shift 3
emulator=("$@")
source_dir=$(realpath "$(dirname "$0")/..")
build=$(dirname "$tgz")
[ -f "$tgz" ] || { echo "missing $tgz: run cpack first"; exit 1; }
[ "$(id -u)" = 0 ] || { echo "the empty-root run needs chroot: run as root"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
tar xzf "$tgz" -C "$dir"
top="$dir/$(basename "$tgz" .tar.gz)"
status=0
files=$(cd "$top" && find . ! -type d | sed 's|^\./||')
for pattern in bin/unls11 bin/ls11 'include/ls11\.h' 'lib/libls11\.so\.1\.[0-9.]+' 'lib/libls11\.so\.1' 'lib/libls11\.so' \
               'lib/libls11\.a' 'lib/cmake/ls11/ls11Config\.cmake' 'lib/pkgconfig/ls11\.pc' 'share/man/man1/ls11\.1\.gz' \
               'share/man/man1/unls11\.1\.gz' 'share/doc/ls11kit/README\.md' 'share/doc/ls11kit/LICENSE' \
               'share/ls11kit/ls11kit\.html' 'lib/python3/dist-packages/ls11/__init__\.py'; do
  grep -Eq "^${pattern}\$" <<<"$files" || { echo "the .tar.gz lacks $pattern"; status=1; }
done
soname=$(readelf -d "$top"/lib/libls11.so.1.* | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libls11.so.1 ] || { echo "the library's soname is '$soname'"; status=1; }

# Static: no program interpreter, no shared library needed; and each runs
# in a root that holds nothing else.
sample=records.LS11
for tool in unls11 ls11; do
  if readelf -l "$top/bin/$tool" | grep -q INTERP || readelf -d "$top/bin/$tool" | grep -q NEEDED; then
    echo "bin/$tool is not a static executable"
    status=1
  fi
  empty="$dir/empty-$tool"
  mkdir "$empty"
  cp "$top/bin/$tool" "$samples/$sample" "$empty/"
  run=("/$tool")
  if [ ${#emulator[@]} -gt 0 ]; then
    # The emulator (qemu-aarch64-static) is a static executable too.
    cp "$(command -v "${emulator[0]}")" "$empty/"
    run=("/$(basename "${emulator[0]}")" "/$tool")
  fi
  if [ $tool = unls11 ]; then
    (cd / && chroot "$empty" "${run[@]}" "$sample" >/dev/null) || { echo "$tool failed in an empty root"; status=1; }
    cmp "$empty/$sample.DEC" "$samples/records.expected" || status=1
  else
    chroot "$empty" "${run[@]}" cat "$sample" 0 >"$dir/entry0" || { echo "$tool failed in an empty root"; status=1; }
    cmp "$dir/entry0" <(head -c 1920 "$samples/records.expected") || status=1
  fi
done

# A program of that architecture against the library, shared and static.
example=$source_dir/tests/install/example.c
"$cc" -std=c99 -I"$top/include" "$example" -L"$top/lib" -lls11 -o "$dir/example_shared" || status=1
"$cc" -std=c99 -static -I"$top/include" "$example" "$top/lib/libls11.a" -lstdc++ -lm -lpthread \
  -o "$dir/example_static" || status=1
for variant in shared static; do
  LD_LIBRARY_PATH="$top/lib" ${emulator[@]+"${emulator[@]}"} "$dir/example_$variant" "$samples/$sample" "$dir/$variant.out" \
    >/dev/null || { echo "the C program linked $variant failed"; status=1; }
  cmp "$dir/$variant.out" "$samples/records.expected" || status=1
done

# pkg-config points into wherever the archive was unpacked.
include=$(PKG_CONFIG_PATH="$top/lib/pkgconfig" pkg-config --variable=includedir ls11)
[ -f "$include/ls11.h" ] || { echo "pkg-config gives includedir '$include'"; status=1; }
# The Python module finds the library beside it (a host Python loads only
# a library of its own architecture).
if [ ${#emulator[@]} -eq 0 ]; then
  (cd / && PYTHONPATH="$top/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 python3 -c '
import os, sys, ls11
sys.exit(not ls11.library_path.startswith(sys.argv[1] + os.sep) or ls11.open(sys.argv[2]).read_all() != open(sys.argv[3], "rb").read())' \
    "$top" "$samples/$sample" "$samples/records.expected") || { echo "the Python module failed"; status=1; }
fi

recorded=$(grep -rlF -e "$source_dir" -e "$(realpath "$build")" "$top" || true)
[ -z "$recorded" ] || { echo "build machine's paths recorded in: $recorded"; status=1; }
[ $status -eq 0 ] && echo "$(basename "$tgz"): OK"
exit $status
