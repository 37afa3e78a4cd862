#!/usr/bin/env bash
# Makes every download of a release into one folder, each package checked
# first, with SHA256SUMS: the Debian packages, the static Linux tarballs for
# x86_64 and aarch64 (the aarch64 build's whole test suite run under
# qemu first), the Windows zip, ls11kit.html on its own, the npm
# package, and the Python wheel and sdist. Needs what doc/building.md's
# Releases section installs.
# Usage: packaging/make_downloads.sh [OUT_DIR]   (default: build/downloads)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/downloads}
step() {
  local start=$SECONDS
  "$@"
  echo "make_downloads: $* took $((SECONDS - start)) s"
}

# Packages an earlier version left in the build folders are not this one's.
rm -f build/release/*.deb build/linux-*/ls11kit-*.tar.gz build/release-windows/ls11kit-*.zip

# The page and the module first: every package holds the page. esbuild
# bundles it and puppeteer-core drives its test in headless Chromium, both
# pinned by web/package-lock.json; the module's tests include its types
# (tsc, pinned by js/package-lock.json) and the npm package's contents.
(cd web && npm ci --no-audit --no-fund)
(cd js && npm ci --no-audit --no-fund)  # tsc, for ls11.js's types
step cmake --workflow --preset wasm
step cmake --workflow --preset release
step cmake --workflow --preset linux-x86_64
# The whole test suite under qemu, then the tarball.
step cmake --workflow --preset linux-aarch64
step cmake --workflow --preset release-windows
WINEPREFIX="$PWD/build/release-windows/wine" wineserver -k || true
step packaging/python_dist.sh build/python

# The npm package, and a project that installs it by its path and imports it.
rm -rf build/npm && mkdir -p build/npm/project
npm pack ./build/wasm/js --pack-destination build/npm >/dev/null
npm_package=$(realpath build/npm/ls11kit-*.tgz)
(cd build/npm/project && npm init -y >/dev/null && npm install --no-audit --no-fund "$npm_package" >/dev/null &&
 node --input-type=module -e 'import * as ls11 from "ls11kit"; if (!ls11.version) process.exit(1)')

rm -rf "$out" && mkdir -p "$out"
cp build/release/*.deb build/linux-x86_64/ls11kit-*-linux-x86_64.tar.gz build/linux-aarch64/ls11kit-*-linux-aarch64.tar.gz \
   build/release-windows/ls11kit-*-win64.zip build/wasm/web/ls11kit.html "$npm_package" build/python/dist/* "$out/"
(cd "$out" && sha256sum -- * >SHA256SUMS && sha256sum --check --quiet SHA256SUMS)
echo "make_downloads: $(($(wc -l <"$out/SHA256SUMS"))) files in $out, with SHA256SUMS"
