// Writing an LS11 container: the 16-byte header, the dictionary, the entry
// table, the closing word (zero) and the blocks in table order. Entry 0's
// data_offset is 276 + 12 x count, which is how readers find the count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "codec/encode_block.h"
#include "codec/pack_blocks.h"
#include "container/status.h"
#include "platform/large_buffer.h"

namespace ls11 {

// One block as it goes into the file: packed_size == unpacked_size means
// stored (bytes are the data itself), anything else compressed.
struct PackedBlock {
  const uint8_t* bytes;
  uint32_t packed_size;
  uint32_t unpacked_size;
};

// Where a file's bytes go, in order: `write` returns false when they could
// not all be taken.
struct ByteSink {
  bool (*write)(void* context, const void* data, size_t size);
  void* context;
};

// A stream as a sink.
ByteSink file_sink(std::FILE* file);

// Where bytes go at given offsets of the file, for an output that can seek.
struct PlacedSink {
  bool (*write_at)(void* context, uint64_t offset, const void* data, size_t size);
  void* context;
};

// A placed sink as a sink taking bytes one after another from `next`.
struct PlacedCursor {
  PlacedSink sink;
  uint64_t next;
};
ByteSink placed_sink(PlacedCursor& cursor);

// Memory as a sink: bytes land one after another from `next`, in a buffer
// the caller has sized with compute_file_length.
struct MemoryCursor {
  uint8_t* next;
};
ByteSink memory_sink(MemoryCursor& cursor);

// The length of the file these blocks make. LS11_ERR_ARGUMENT for no
// blocks, LS11_ERR_TOO_LARGE when an offset or the length would pass 4 GiB - 1.
ls11_status compute_file_length(const PackedBlock* blocks, uint32_t count, uint64_t& length);

// Writes everything before the blocks to `sink`: header, dictionary, the
// table with each block's offset, and the closing word. The caller then
// writes the blocks' bytes in table order. `format` is 10, 11 or 12.
// Besides the statuses of compute_file_length: LS11_ERR_ARGUMENT for another
// format, LS11_ERR_WRITE when the sink fails. Only the blocks' sizes
// are read here, so their bytes may still be elsewhere.
ls11_status write_file_head(ByteSink sink, int format, const uint8_t dictionary[256],
                            const PackedBlock* blocks, uint32_t count);

// write_file_head, then every block's bytes: the whole file.
ls11_status write_file(ByteSink sink, int format, const uint8_t dictionary[256],
                       const PackedBlock* blocks, uint32_t count);

// A file's entries, packed and ready to be written.
struct PackedEntries {
  uint8_t dictionary[256];
  std::unique_ptr<PackedBlock[]> blocks;
  platform::LargeBuffer storage;  // the compressed blocks' bytes
};

// Packs `count` inputs, one entry each: at `level` on up to `threads`
// threads (0: one per core) with a dictionary built for them (pack_blocks)
// or, at LS11_LEVEL_STORE, every block stored as it is with the identity
// dictionary (the blocks then point at the inputs, copying nothing).
// Each block also goes to `in_order` once it and those before it are
// packed (see BlockSink). LS11_ERR_NO_MEMORY when working memory runs out
// or `in_order` refused a block.
ls11_status pack_entries(const BlockView* inputs, uint32_t count, ls11_level level,
                         unsigned threads, PackedEntries& packed,
                         const BlockSink* in_order = nullptr);

// The file's length when every block is stored, the most it can take;
// LS11_ERR_TOO_LARGE when that passes 4 GiB - 1.
ls11_status longest_file(const BlockView* inputs, uint32_t count, uint64_t& length);

// pack_entries writing the file to `sink` while it packs: each block at its
// offset as soon as it and every block before it are packed, in file
// order, then header, dictionary and table at offset 0, so that the blocks
// need not wait for the last one to be packed. Every byte of the file is
// written once. The inputs must pass longest_file (else LS11_ERR_TOO_LARGE
// before any write). The statuses of pack_entries, LS11_ERR_ARGUMENT for
// a format other than 10 to 12 or no inputs, and LS11_ERR_WRITE when the
// sink fails; after a failure what was written is no file.
ls11_status pack_file_placed(PlacedSink sink, int format, ls11_level level, unsigned threads,
                             const BlockView* inputs, uint32_t count);

// pack_entries, then write_file.
ls11_status pack_file(std::FILE* output, int format, ls11_level level, unsigned threads,
                      const BlockView* inputs, uint32_t count);

}  // namespace ls11
