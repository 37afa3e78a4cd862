// Writing an LS11 container: the 16-byte header, the dictionary, the entry
// table, the closing word (zero) and the blocks in table order. Entry 0's
// data_offset is 276 + 12 x count, which is how readers find the count.
#pragma once

#include <cstdint>
#include <cstdio>

#include "codec/encode_block.h"
#include "codec/pack_blocks.h"

// One block as it goes into the file: packed_size == unpacked_size means
// stored (bytes are the data itself), anything else compressed.
struct PackedBlock {
  const uint8_t* bytes;
  uint32_t packed_size;
  uint32_t unpacked_size;
};

// Whether `count` blocks of these packed sizes fit the format: at least one
// entry, and every offset and the file's length below 4 GiB.
bool file_fits(const PackedBlock* blocks, uint32_t count);

// Writes the file to `output` at its current position. `version` is 10, 11
// or 12. False with g_status set: STATUS_UNSUPPORTED when the version or
// the sizes do not fit the format, STATUS_CREATE_OUTPUT when a write fails.
bool write_file(std::FILE* output, int version, const uint8_t dictionary[256],
                const PackedBlock* blocks, uint32_t count);

// Packs `count` inputs, one entry each, and writes the file: the inputs
// packed at `level` on up to `threads` threads (0: all cores) with a
// dictionary built for them (pack_blocks) or, with
// `store`, every block stored as it is, with the identity dictionary. False with g_status set
// (STATUS_NO_MEMORY besides the statuses of write_file).
bool pack_file(std::FILE* output, int version, EncodeLevel level, unsigned threads, bool store,
               const BlockView* inputs, uint32_t count);
