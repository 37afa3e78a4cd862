#!/usr/bin/env python3
"""Cuts the many small inputs of the whole-process packing comparison.

Takes the corpus's headers (files that came from /usr/include) and programs
(from /usr/bin), in corpus order, MIB / 2 MiB of each, and cuts the bytes
into pieces of 4 to 64 KiB (sizes from a fixed seed): the entries of one
`ls11 pack`. Writes OUT/NNNN and OUT.raw, all the pieces in order, which is
what `libdeflate-gzip` compresses beside it and what unls11 must give back.

    cut_entries.py CORPUS_DIR OUT [MIB]
"""
import os
import random
import sys

SOURCES = (("text", "/usr/include/"), ("binary", "/usr/bin/"))


def gather(corpus, kind, prefix, budget):
    """The first `budget` bytes of the corpus files of `kind` from `prefix`."""
    taken = bytearray()
    with open(os.path.join(corpus, "manifest.tsv")) as f:
        rows = [line.rstrip("\n").split("\t") for line in f]
    index = 0
    for row_kind, _, origin in rows:
        if row_kind != kind:
            continue
        name = "%05d" % index
        index += 1
        if origin.startswith(prefix):
            with open(os.path.join(corpus, kind, name), "rb") as f:
                taken += f.read()
            if len(taken) >= budget:
                break
    return bytes(taken[:budget])


def main():
    corpus, out = sys.argv[1], sys.argv[2]
    mib = float(sys.argv[3]) if len(sys.argv) > 3 else 8.0
    data = b"".join(gather(corpus, kind, prefix, int(mib * (1 << 20) / 2)) for kind, prefix in SOURCES)
    os.makedirs(out, exist_ok=True)
    pieces = random.Random(18)
    at = 0
    count = 0
    while at < len(data):
        size = pieces.randint(4096, 65536)
        with open(os.path.join(out, "%04d" % count), "wb") as f:
            f.write(data[at:at + size])
        at += size
        count += 1
    with open(out + ".raw", "wb") as f:
        f.write(data)
    print("%d entries, %d bytes" % (count, len(data)))


if __name__ == "__main__":
    main()
