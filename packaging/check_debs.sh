#!/usr/bin/env bash
# Checks the Debian packages: libls11-N holds the shared library (named
# after its soname), libls11-dev the header, the static library, the link
# and the CMake and pkg-config files, ls11kit the tools, their manual pages
# and the page, python3-ls11 the module with the scripts that compile it and
# remove what Python wrote beside it; each its copyright file and changelog.
# Depends: the packages on each other at this exact version, and what
# dpkg-shlibdeps finds their binaries need. lintian reports no error and no
# warning but initial-upload-closes-no-bugs. Unpacked together into a fresh
# folder, the tools decode a sample, pkg-config gives plain /usr paths and
# the Python module finds the library; no path of the build machine is
# recorded anywhere.
# Usage: check_debs.sh BUILD_DIR VERSION SAMPLES_DIR   (VERSION: 0.62-1)
set -euo pipefail
build=$1 version=$2 samples=$(realpath "$3")
source_dir=$(realpath "$(dirname "$0")/..")
status=0
declare -A deb
for name in libls11-1 libls11-dev ls11kit python3-ls11; do
  found=("$build/${name}_${version}"_*.deb)
  [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] ||
    { echo "no single ${name}_${version}_*.deb in $build: run cpack first"; exit 1; }
  deb[$name]=${found[0]}
done

# Each package's files (patterns under usr/), and its fixed Depends.
declare -A expected=(
  [libls11-1]='lib/[^/]+/libls11\.so\.1 lib/[^/]+/libls11\.so\.1\.[0-9.]+'
  [libls11-dev]='include/ls11\.h lib/[^/]+/libls11\.a lib/[^/]+/libls11\.so lib/[^/]+/cmake/ls11/ls11Config\.cmake
                 lib/[^/]+/pkgconfig/ls11\.pc'
  [ls11kit]='bin/ls11 bin/unls11 share/man/man1/ls11\.1\.gz share/man/man1/unls11\.1\.gz share/doc/ls11kit/README\.md
             share/doc/ls11kit/LICENSE share/ls11kit/ls11kit\.html'
  [python3-ls11]='lib/python3/dist-packages/ls11/__init__\.py lib/python3/dist-packages/ls11/_library_path'
)
declare -A fixed_depends=(
  [libls11-dev]="libls11-1 (= $version)"
  [python3-ls11]="python3:any, libls11-1 (= $version)"
)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for name in "${!deb[@]}"; do
  files=$(dpkg-deb -c "${deb[$name]}" | awk '{print $6}' | sed 's|^\./usr/||')
  for pattern in ${expected[$name]} "share/doc/$name/copyright" "share/doc/$name/changelog\.Debian\.gz"; do
    grep -Eq "^${pattern}\$" <<<"$files" || { echo "$name lacks usr/$pattern"; status=1; }
  done
  dpkg-deb -x "${deb[$name]}" "$root"
  head -1 "$root/usr/share/doc/$name/copyright" |
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    { echo "$name: copyright is not in Debian's machine-readable format"; status=1; }
done
# Nothing belongs to two packages.
shared=$(for name in "${!deb[@]}"; do dpkg-deb -c "${deb[$name]}" | awk '$1 !~ /^d/ {print $6}'; done | sort | uniq -d)
[ -z "$shared" ] || { echo "files in more than one package: $shared"; status=1; }

# Depends: the fixed part, then what dpkg-shlibdeps finds the binaries
# need (the C++ runtime for the library among it), not what the build
# machine happened to have.
mkdir "$root/debian" "$root/DEBIAN" && : >"$root/debian/control"
for name in "${!deb[@]}"; do
  depends=$(dpkg-deb -f "${deb[$name]}" Depends)
  binaries=$(dpkg-deb -c "${deb[$name]}" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' |
             grep -E '^usr/bin/|libls11\.so\.[0-9]+\.' || true)
  want=${fixed_depends[$name]:-}
  if [ -n "$binaries" ]; then
    # shellcheck disable=SC2086  # one path a word
    computed=$(cd "$root" && dpkg-shlibdeps -O $binaries 2>/dev/null | sed 's/^shlibs:Depends=//')
    want=${want:+$want, }$computed
  fi
  [ "$depends" = "$want" ] || { echo "$name: Depends is '$depends', should be '$want'"; status=1; }
done
rm -r "$root/debian" "$root/DEBIAN"
grep -q 'libstdc++6' <<<"$(dpkg-deb -f "${deb[libls11-1]}" Depends)" || { echo "libls11-1 does not depend on libstdc++6"; status=1; }

# The library file is named after its soname; only libls11-1 runs ldconfig,
# and only python3-ls11 has maintainer scripts.
library=$(echo "$root"/usr/lib/*/libls11.so.1.*)
soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libls11.so.1 ] && [[ $(basename "$library") == "$soname".* ]] ||
  { echo "library $(basename "$library") has soname '$soname'"; status=1; }
for name in "${!deb[@]}"; do
  control=$(dpkg-deb --ctrl-tarfile "${deb[$name]}" | tar t | sed 's|^\./||' | grep -Ev '^(control)?$' | sort | paste -sd' ')
  case $name in
    libls11-1) want='md5sums shlibs triggers' ;;
    python3-ls11) want='md5sums postinst prerm' ;;
    *) want='md5sums' ;;
  esac
  [ "$control" = "$want" ] || { echo "$name's control files are '$control', not '$want'"; status=1; }
done

# lintian, on the four as one source's packages.
report=$(lintian --fail-on none "${deb[@]}" 2>/dev/null)
unexpected=$(grep -E '^[EW]: ' <<<"$report" | grep -Ev '^W: [^:]+: initial-upload-closes-no-bugs ' || true)
[ -z "$unexpected" ] || { echo "lintian: $unexpected"; status=1; }

# Files compressed by gzip -9n (no name, no time: the same bytes from any
# build).
for file in "$root"/usr/share/man/man1/*.gz "$root"/usr/share/doc/*/changelog.Debian.gz; do
  [ "$(od -An -tx1 -N8 "$file" | tr -d ' ')" = 1f8b080000000000 ] || { echo "$file: not gzip -n output"; status=1; }
done

# pkg-config: plain /usr paths.
pc=(env PKG_CONFIG_PATH="$(echo "$root"/usr/lib/*/pkgconfig)" pkg-config)
libdir=$(dirname "$(echo "$root"/usr/lib/*/libls11.a)")
[ "$("${pc[@]}" --variable=libdir ls11)" = "${libdir#"$root"}" ] || { echo "pkg-config: libdir is not ${libdir#"$root"}"; status=1; }
flags=$("${pc[@]}" --cflags --libs --static ls11)
[[ $flags != *..* ]] || { echo "pkg-config prints '$flags'"; status=1; }

# No path of this machine's source or build folder.
recorded=$(grep -rlF -e "$source_dir" -e "$(realpath "$build")" "$root" || true)
[ -z "$recorded" ] || { echo "build machine's paths recorded in: $recorded"; status=1; }

cp "$samples/records.LS11" "$root/"
(cd "$root" && ./usr/bin/unls11 records.LS11 >/dev/null)
cmp "$root/records.LS11.DEC" "$samples/records.expected" || status=1
"$root/usr/bin/ls11" verify "$root/records.LS11" || status=1

# The Python module finds the library through the path recorded beside it,
# relative to itself.
(cd / && PYTHONPATH="$root/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 python3 -c '
import os, sys, ls11
sys.exit(not ls11.library_path.startswith(sys.argv[1] + os.sep) or ls11.open(sys.argv[2]).read_all() != open(sys.argv[3], "rb").read())' \
  "$root/usr" "$samples/records.LS11" "$samples/records.expected") || { echo "the Python module failed"; status=1; }
[ $status -eq 0 ] && echo "$(for name in "${!deb[@]}"; do basename "${deb[$name]}"; done | sort | paste -sd' '): OK"
exit $status
