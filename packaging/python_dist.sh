#!/usr/bin/env bash
# The Python package as a user gets it: the sdist and the wheel built with
# Debian's tools alone (python3-build, python3-setuptools, python3-wheel,
# python3-venv), the wheel installed into a fresh virtual environment, the
# module's tests run against it there, and imported from elsewhere.
# Usage: python_dist.sh OUT_DIR   (from the project's root; OUT_DIR/dist gets
# the sdist and the wheel)
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out"
/usr/bin/python3 -m build --no-isolation --outdir "$out/dist" . >"$out/build.log" 2>&1 ||
  { cat "$out/build.log"; exit 1; }
/usr/bin/python3 -m venv --system-site-packages "$out/venv"
"$out/venv/bin/pip" install --no-index "$out"/dist/ls11kit-*.whl
(cd "$out/venv" && bin/python -m pytest -q -p no:cacheprovider "$OLDPWD/python/tests")
(cd "$(mktemp -d)" && "$OLDPWD/$out/venv/bin/python" -c \
  'import ls11, sys; assert ls11.library_path.startswith(sys.prefix); print("ls11", ls11.__version__, "from", ls11.library_path)')
