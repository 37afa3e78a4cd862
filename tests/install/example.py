"""Decodes an LS11 file into the bytes unls11 writes, lists its entries, and
packs them again: python3 example.py FILE.LS11 OUTPUT"""
import sys

import ls11

source, target = sys.argv[1], sys.argv[2]
with ls11.open(source) as archive:
    print(f"LS{archive.format}, {len(archive.entries)} entries")
    for entry in archive.entries:
        kind = "stored" if entry.stored else "compressed"
        print(f"{entry.index}: {entry.packed_size} -> {entry.unpacked_size} bytes, {kind}")
    parts = [archive.read(entry.index) for entry in archive.entries]
    file_format = archive.format
with open(target, "wb") as out:
    out.write(b"".join(parts))

# The same entries in a new file, packed as small as the encoder can.
packed = ls11.pack(parts, format=file_format, level="best")
with ls11.open(packed) as again:
    assert again.read_all() == b"".join(parts)
print(f"packed again: {len(packed)} bytes")
