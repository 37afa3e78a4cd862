#!/usr/bin/env python3
"""Gathers the benchmark corpus from this machine's own files.

Three kinds of data, each about a third of the total: text (headers, man
pages, documentation), binaries (programs and shared objects) and mixed data
(fonts, message catalogs and locale sources, time zones, static libraries).
Files that are already compressed are skipped, since no codec can shrink them
and they would only measure memcpy; gzip-compressed man pages and documents
are taken in their decompressed form, as a reader would see them.

The choice is deterministic for a given machine: candidates are sorted, then
shuffled with a fixed seed, and taken until each source's share is full.
Writes DIR/KIND/NNNNN files and DIR/manifest.tsv (kind, size, origin).
"""
import gzip
import os
import random
import sys

MIB = 1 << 20

# Magic numbers of formats that are compressed already.
COMPRESSED_MAGICS = (
    b"\x1f\x8b",            # gzip
    b"\xfd7zXZ\x00",        # xz
    b"BZh",                 # bzip2
    b"\x28\xb5\x2f\xfd",    # zstd
    b"\x04\x22\x4d\x18",    # lz4 frame
    b"PK\x03\x04",          # zip, jar
    b"\x89PNG",             # png
    b"\xff\xd8\xff",        # jpeg
    b"GIF8",                # gif
    b"wOFF", b"wOF2",       # web fonts
    b"LZIP",                # lzip
)
COMPRESSED_SUFFIXES = (".gz", ".xz", ".bz2", ".zst", ".lz4", ".zip", ".jar",
                       ".png", ".jpg", ".jpeg", ".gif", ".woff", ".woff2", ".lzma")

# Files larger than this are left out: one huge library would otherwise
# fill a kind's share alone.
MAX_FILE = 4 * MIB
MIN_FILE = 256

# kind -> list of (share in MiB, roots, predicate on the path)
def is_shared_object(path):
    name = os.path.basename(path)
    return name.endswith(".so") or ".so." in name

SOURCES = {
    "text": [
        (12, ["/usr/include"], lambda p: True),
        (8, ["/usr/share/man"], lambda p: True),
        (7, ["/usr/share/doc"], lambda p: True),
    ],
    "binary": [
        (13, ["/usr/bin"], lambda p: True),
        (14, ["/usr/lib/x86_64-linux-gnu"], is_shared_object),
    ],
    "mixed": [
        (7, ["/usr/share/fonts"], lambda p: True),
        (7, ["/usr/share/locale", "/usr/share/i18n/locales"], lambda p: True),
        (3, ["/usr/share/zoneinfo"], lambda p: True),
        (10, ["/usr/lib/x86_64-linux-gnu"], lambda p: p.endswith(".a")),
    ],
}


def candidates(roots, predicate, seen_inodes):
    found = []
    for root in roots:
        for dirpath, dirnames, filenames in os.walk(root):
            dirnames.sort()
            if dirpath.startswith("/usr/lib/x86_64-linux-gnu/") and dirpath != "/usr/lib/x86_64-linux-gnu":
                # Only the directory itself: its subdirectories hold whole
                # other toolchains (LLVM, Perl) that would crowd out the rest.
                dirnames[:] = []
                continue
            for name in sorted(filenames):
                path = os.path.join(dirpath, name)
                if os.path.islink(path) or not predicate(path):
                    continue
                try:
                    st = os.stat(path)
                except OSError:
                    continue
                if (st.st_dev, st.st_ino) in seen_inodes:
                    continue
                seen_inodes.add((st.st_dev, st.st_ino))
                found.append(path)
    return found


def contents(path):
    """The file's bytes as a reader sees them, or None to skip it."""
    try:
        with open(path, "rb") as f:
            data = f.read(MAX_FILE + 1)
    except OSError:
        return None
    if path.endswith(".gz") and data.startswith(b"\x1f\x8b"):
        # Man pages and documents ship gzip-compressed; take their text.
        try:
            with gzip.open(path, "rb") as f:
                data = f.read(MAX_FILE + 1)
        except (OSError, EOFError):
            return None
    elif path.endswith(COMPRESSED_SUFFIXES) or data.startswith(COMPRESSED_MAGICS):
        return None
    if not MIN_FILE <= len(data) <= MAX_FILE:
        return None
    return data


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: build_corpus.py OUT_DIR")
    out_dir = sys.argv[1]
    seen_inodes = set()
    manifest = []
    for kind, sources in SOURCES.items():
        os.makedirs(os.path.join(out_dir, kind), exist_ok=True)
        index = 0
        for share_mib, roots, predicate in sources:
            paths = candidates(roots, predicate, seen_inodes)
            random.Random(11).shuffle(paths)
            budget = share_mib * MIB
            for path in paths:
                if budget <= 0:
                    break
                data = contents(path)
                if data is None or len(data) > budget + MAX_FILE // 4:
                    continue
                with open(os.path.join(out_dir, kind, "%05d" % index), "wb") as f:
                    f.write(data)
                manifest.append((kind, len(data), path))
                index += 1
                budget -= len(data)
    with open(os.path.join(out_dir, "manifest.tsv"), "w") as f:
        for kind, size, path in manifest:
            f.write("%s\t%d\t%s\n" % (kind, size, path))
    for kind in SOURCES:
        sizes = [s for k, s, _ in manifest if k == kind]
        print("%-7s %5d files %6.1f MiB" % (kind, len(sizes), sum(sizes) / MIB))


if __name__ == "__main__":
    main()
