#!/usr/bin/env bash
# Checks the Linux release packages: the .deb (listed with dpkg-deb -c)
# holds the tools, the library with its header, CMake and pkg-config files,
# the Python module, the manual pages and Debian's copyright and changelog;
# its Depends line is what dpkg-shlibdeps finds its binaries need; lintian
# reports no error and no warning but the known ones; its tools, unpacked
# into a fresh folder, decode a sample; its pkg-config file gives plain
# /usr paths. The .tar.gz holds the same files, and its pkg-config file
# points into wherever it is unpacked; in both, unpacked, the Python module
# finds the library beside it with the system's python3. Neither records a
# path of the build machine.
# Usage: check_linux.sh BUILD_DIR TGZ SAMPLES_DIR
set -euo pipefail
build=$1 tgz=$2 samples=$(realpath "$3")
source_dir=$(realpath "$(dirname "$0")/..")
debs=("$build"/ls11kit_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "no single .deb in $build: run cpack first"; exit 1; }
deb=${debs[0]}
[ -f "$tgz" ] || { echo "missing $tgz: run cpack first"; exit 1; }

expected=(
  'usr/bin/ls11' 'usr/bin/unls11' 'usr/include/ls11\.h'
  'usr/lib/.*libls11\.so\.[0-9]+' 'usr/lib/.*libls11\.a'
  'usr/lib/.*cmake/ls11/ls11Config\.cmake' 'usr/lib/.*pkgconfig/ls11\.pc'
  'usr/share/man/man1/ls11\.1\.gz' 'usr/share/man/man1/unls11\.1\.gz'
  'usr/share/doc/ls11kit/README\.md' 'usr/share/doc/ls11kit/LICENSE'
  'usr/share/doc/ls11kit/copyright' 'usr/share/doc/ls11kit/changelog\.Debian\.gz'
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
root=$(mktemp -d) tgz_root=$(mktemp -d)
trap 'rm -rf "$root" "$tgz_root"' EXIT
dpkg-deb -x "$deb" "$root"
tar xzf "$tgz" -C "$tgz_root" --strip-components=1

# Depends: what the packaged programs and library need, the C++ runtime
# among it, not what the build machine happened to have.
depends=$(dpkg-deb -f "$deb" Depends)
binaries=("$root"/usr/bin/* "$root"/usr/lib/*/libls11.so.*.*)
# (dpkg-shlibdeps reads debian/control, and takes DEBIAN/ as the package's root.)
mkdir "$root/debian" "$root/DEBIAN" && : >"$root/debian/control"
computed=$(cd "$root" && dpkg-shlibdeps -O "${binaries[@]}" | sed 's/^shlibs:Depends=//')
rm -r "$root/debian" "$root/DEBIAN"
[ "$depends" = "$computed" ] || { echo "Depends is '$depends', the binaries need '$computed'"; status=1; }
grep -q 'libstdc++6' <<<"$depends" || { echo "Depends does not name libstdc++6: '$depends'"; status=1; }

# lintian: no error, and only the warnings that come from shipping the tools,
# the library and its development files as one package outside Debian's
# archive.
known_warnings='initial-upload-closes-no-bugs|link-to-shared-library-in-wrong-package|package-name-doesnt-match-sonames'
report=$(lintian --fail-on none "$deb" 2>/dev/null)
unexpected=$(grep -E '^[EW]: ' <<<"$report" | grep -Ev "^W: ls11kit: ($known_warnings) " || true)
[ -z "$unexpected" ] || { echo "lintian: $unexpected"; status=1; }

# Debian's copyright format; files compressed by gzip -9n (no name, no
# time: the same bytes from any build).
head -1 "$root/usr/share/doc/ls11kit/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
  { echo "copyright is not in Debian's machine-readable format"; status=1; }
for file in "$root"/usr/share/man/man1/*.gz "$root/usr/share/doc/ls11kit/changelog.Debian.gz"; do
  [ "$(od -An -tx1 -N8 "$file" | tr -d ' ')" = 1f8b080000000000 ] || { echo "$file: not gzip -n output"; status=1; }
done

# pkg-config: plain /usr paths from the .deb; from the .tar.gz, paths into
# the folder it was unpacked to.
deb_pc=(env PKG_CONFIG_PATH="$(echo "$root"/usr/lib/*/pkgconfig)" pkg-config)
deb_libdir=$(dirname "$(echo "$root"/usr/lib/*/libls11.a)")
[ "$("${deb_pc[@]}" --variable=libdir ls11)" = "${deb_libdir#"$root"}" ] || { echo "pkg-config from the .deb: libdir is not ${deb_libdir#"$root"}"; status=1; }
deb_flags=$("${deb_pc[@]}" --cflags --libs --static ls11)
[[ $deb_flags != *..* ]] || { echo "pkg-config from the .deb prints '$deb_flags'"; status=1; }
tgz_include=$(PKG_CONFIG_PATH=$(echo "$tgz_root"/lib/*/pkgconfig) pkg-config --variable=includedir ls11)
[ -f "$tgz_include/ls11.h" ] || { echo "pkg-config from the .tar.gz gives includedir '$tgz_include'"; status=1; }

# No path of this machine's source or build folder.
recorded=$(grep -rlF -e "$source_dir" -e "$(realpath "$build")" "$root" "$tgz_root" || true)
[ -z "$recorded" ] || { echo "build machine's paths recorded in: $recorded"; status=1; }

cp "$samples/records.LS11" "$root/"
(cd "$root" && LD_LIBRARY_PATH="$root/usr/lib" ./usr/bin/unls11 records.LS11 >/dev/null)
cmp "$root/records.LS11.DEC" "$samples/records.expected" || status=1
"$root/usr/bin/ls11" verify "$root/records.LS11" || status=1

# The Python module finds the library through the path recorded beside it,
# relative to itself: no path of the machine that built the package.
for top in "$root/usr" "$tgz_root"; do
  (cd / && PYTHONPATH="$top/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 python3 -c '
import os, sys, ls11
sys.exit(not ls11.library_path.startswith(sys.argv[1] + os.sep) or ls11.open(sys.argv[2]).read_all() != open(sys.argv[3], "rb").read())' \
    "$top" "$samples/records.LS11" "$samples/records.expected") || { echo "the Python module in $top failed"; status=1; }
done
[ $status -eq 0 ] && echo "$(basename "$deb") and $(basename "$tgz"): OK"
exit $status
