// Reading an LS11 file: its header, dictionary and entry table, checked by
// the rules every tool applies, and each entry's block, read and decoded on
// its own. unls11's conversion, the API and the ls11 commands share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "container/layout.h"
#include "container/status.h"

namespace ls11 {

struct Entry {
  uint32_t packed_size;
  uint32_t unpacked_size;
  uint32_t data_offset;
};

// A block is stored exactly when its two sizes are equal.
inline bool entry_is_stored(const Entry& entry) { return entry.packed_size == entry.unpacked_size; }

struct Container {
  int format;  // 10, 11 or 12
  uint8_t dictionary[256];
  uint32_t count;
  std::unique_ptr<Entry[]> entries;  // one allocation of count x 12 bytes
  uint32_t max_packed;               // largest packed_size
  uint32_t max_decoded;              // largest unpacked_size of a compressed entry
  uint64_t total_packed;
  uint64_t total_unpacked;
  uint64_t file_length;
};

// The format a 16-byte header names: 10, 11 or 12, or 0 when it is not an
// LS11 header.
int header_format(const uint8_t header[kHeaderSize]);

// Reads the 16-byte header at the stream's position: 10, 11 or 12 for a
// recognised file (the stream is then put back where it was), 0 otherwise.
int detect_format(std::FILE* input);

// Reads the dictionary and the table of a file whose header is recognised
// and whose length is `length`. The table must lie inside the file (decided
// before it is allocated) and the length rule must hold: the file's length
// minus the table equals 276 plus the sum of the packed sizes, in 32-bit
// wrap-around arithmetic. LS11_ERR_FORMAT for a file whose layout does
// not add up (including one too short for the dictionary and entry 0),
// LS11_ERR_NO_MEMORY. Here and below, `reason` (when not null) gets the
// detail of a failure, as the public API gives it.
ls11_status read_table(std::FILE* file, uint64_t length, int format, Container& container,
                       ls11_reason* reason = nullptr);

// The checks of read_table on a stream at its start, the header's and the
// length's first, for the library. A file longer than 4 GiB - 1 is refused with
// LS11_ERR_FORMAT: the length rule's wrap-around would otherwise let one
// through (a valid file with 4 GiB appended, or a table of 0 entries).
ls11_status read_container(std::FILE* file, Container& container, ls11_reason* reason = nullptr);

// The same for a whole file held in memory: the header, the length, then
// read_table's checks and statuses (LS11_ERR_FORMAT for an unrecognised
// header).
ls11_status read_container_memory(const uint8_t* data, size_t size, Container& container,
                                  ls11_reason* reason = nullptr);

// Whether entry `index`'s block lies wholly inside the file.
bool block_in_file(const Container& container, uint32_t index);

// Copies (stored) or decodes (compressed) entry `index` from its packed
// bytes into `out`, which has room for its unpacked_size bytes.
// LS11_ERR_CORRUPT when the block does not decode.
ls11_status decode_entry(const Container& container, uint32_t index, const uint8_t* packed,
                         uint8_t* out, ls11_reason* reason = nullptr);

// Buffers for reading any entry of a container, and where the stream stands
// after the last read, so that blocks lying one after another are read
// without a seek (which would throw the stream's buffer away). `decoded` is
// only needed by read_entry.
struct EntryBuffers {
  std::unique_ptr<uint8_t[]> packed;
  std::unique_ptr<uint8_t[]> decoded;
  uint64_t position;
};

// LS11_ERR_NO_MEMORY when they cannot be allocated. Without `with_decoded`
// only the packed buffer is taken, for callers that decode elsewhere.
ls11_status allocate_entry_buffers(const Container& container, EntryBuffers& buffers,
                                   bool with_decoded = true);

// Reads entry `index`'s packed bytes into buffers.packed.
// LS11_ERR_CORRUPT when the block does not lie wholly inside the file or
// cannot be read.
ls11_status read_block(std::FILE* file, const Container& container, uint32_t index,
                       EntryBuffers& buffers, ls11_reason* reason = nullptr);

// Where a file's blocks come from: an open stream, read through `buffers`
// (its packed buffer is allocated when missing), or the whole file in
// memory when `file` is null.
struct BlockSource {
  std::FILE* file;
  const uint8_t* memory;
  EntryBuffers* buffers;
};

// Points `packed` at entry `index`'s packed bytes: in place for a file in
// memory, read into the packed buffer otherwise. LS11_ERR_CORRUPT when
// the block does not lie wholly inside the file or cannot be read,
// LS11_ERR_NO_MEMORY.
ls11_status locate_block(BlockSource source, const Container& container, uint32_t index,
                         const uint8_t*& packed, ls11_reason* reason = nullptr);

// allocate_entry_buffers for reading every entry from `source`: a file in
// memory needs no packed buffer.
ls11_status prepare_entry_buffers(BlockSource source, const Container& container);

// locate_block, then decode_entry. On success `data` points at the entry's
// unpacked_size bytes (inside the source's buffers, or in place for a
// stored block in memory). The decoded buffer is allocated when missing.
ls11_status read_entry(BlockSource source, const Container& container, uint32_t index,
                       const uint8_t*& data, ls11_reason* reason = nullptr);

}  // namespace ls11
