#!/usr/bin/env bash
# Installs the Debian packages with apt-get, uses each (the tools, the C
# library through pkg-config, the Python module as root, which may write
# bytecode), then purges them one by one: afterwards no file or folder is
# left that was not there before, and `import ls11` fails. Changes the
# system it runs on: run it in a fresh root, e.g.
#   ../shared/tools/fresh-debian 'bash packaging/check_purge.sh DEB_DIR'
# Usage: check_purge.sh DEB_DIR   (as root)
set -euo pipefail
debs=$(realpath "$1")
samples=$(realpath "$(dirname "$0")/../samples")
export DEBIAN_FRONTEND=noninteractive
# What the packages depend on, and what using them needs, is there before
# the first look, so that only the packages' own files can differ.
apt-get install -y --no-install-recommends python3 libstdc++6 gcc libc6-dev pkg-config >/dev/null
snapshot() { find /usr /etc /opt /var/lib/dpkg/info -xdev | grep -v '^/etc/ld\.so\.cache$' | sort; }
snapshot >/tmp/before
apt-get install -y --no-install-recommends "$debs"/*.deb >/dev/null
work=$(mktemp -d)
cp "$samples/records.LS11" "$work/"
(cd "$work" && unls11 records.LS11 >/dev/null && cmp records.LS11.DEC "$samples/records.expected")
cc -x c - -o "$work/version" $(pkg-config --cflags --libs ls11) <<'C'
#include <stdio.h>
#include <ls11.h>
int main(void) { puts(ls11_version_string()); return 0; }
C
"$work/version"
(cd / && python3 -c 'import ls11, sys; print("ls11", ls11.__version__); ls11.open(sys.argv[1]).read_all()' "$work/records.LS11")
rm -rf "$work"
# What the purge must remove: the bytecode compiled on install, and what
# importing as root wrote.
compgen -G '/usr/lib/python3/dist-packages/ls11/__pycache__/*.pyc' >/dev/null ||
  { echo "no bytecode beside the module after installing and importing it"; exit 1; }
for package in python3-ls11 ls11kit libls11-dev libls11-1; do
  apt-get purge -y "$package" >/dev/null
done
snapshot >/tmp/after
left=$(comm -13 /tmp/before /tmp/after)
[ -z "$left" ] || { echo "left behind after purging: $left"; exit 1; }
if (cd / && python3 -c 'import ls11' 2>/dev/null); then
  echo "import ls11 still succeeds"
  exit 1
fi
echo "installed, used and purged: nothing left behind"
