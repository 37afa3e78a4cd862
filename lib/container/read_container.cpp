#include "container/read_container.h"

#include <cstring>
#include <new>

#include <cerrno>

#include "codec/decode_block.h"
#include "container/reason.h"
#include "platform/file_io.h"

namespace ls11 {

namespace {

// Entries parsed per read of the table.
constexpr uint32_t kTableBatch = 512;

// Marks the stream position as unknown: the next block read seeks.
constexpr uint64_t kUnknownPosition = UINT64_MAX;

// The header, the dictionary and entry 0: what every file that opens holds.
constexpr uint32_t kFirstEntryEnd = kTableOffset + kEntrySize;
// Where entry 0's block starts at the earliest: after a table of one entry.
constexpr uint32_t kFirstBlockLeast = kTableOffset + kEntrySize + kClosingWordSize;

uint32_t read_be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The count that entry 0's data_offset implies, and whether a table of that
// many entries lies inside a file of `length` bytes. The test comes before
// the table is allocated: a damaged first offset (anything below 276 wraps
// the count to ~357 million) must not cost gigabytes of memory.
bool table_count(const uint8_t entry0[kEntrySize], uint64_t length, uint32_t& count) {
  count = (read_be32(entry0 + 8) - (kTableOffset + kClosingWordSize)) / kEntrySize;
  return kTableOffset + kClosingWordSize + uint64_t{kEntrySize} * count <= length;
}

ls11_status allocate_table(uint32_t count, Container& container) {
  container.count = count;
  container.entries.reset(new (std::nothrow) Entry[count]);  // GCOVR_EXCL_BR_LINE
  if (!container.entries) return LS11_ERR_NO_MEMORY;
  container.max_packed = 0;
  container.max_decoded = 0;
  container.total_packed = 0;
  container.total_unpacked = 0;
  return LS11_OK;
}

// Parses `batch` raw entries into the table from index `first`, keeping the
// running figures; `packed_sum` wraps, as the length rule is taken modulo
// 2^32.
void add_entries(const uint8_t* raw, uint32_t first, uint32_t batch, Container& container,
                 uint32_t& packed_sum) {
  for (uint32_t i = 0; i < batch; ++i) {
    const uint8_t* p = raw + size_t{i} * kEntrySize;
    Entry& e = container.entries[first + i];
    e = Entry{read_be32(p), read_be32(p + 4), read_be32(p + 8)};
    packed_sum += e.packed_size;
    if (e.packed_size > container.max_packed) container.max_packed = e.packed_size;
    if (!entry_is_stored(e) && e.unpacked_size > container.max_decoded) {
      container.max_decoded = e.unpacked_size;
    }
    container.total_packed += e.packed_size;
    container.total_unpacked += e.unpacked_size;
  }
}

// The buffer for compressed blocks' output (stored blocks are handed out
// from their packed bytes).
ls11_status allocate_decoded(const Container& container, EntryBuffers& buffers) {
  buffers.decoded.reset(new (std::nothrow) uint8_t[container.max_decoded]);  // GCOVR_EXCL_BR_LINE
  return buffers.decoded ? LS11_OK : LS11_ERR_NO_MEMORY;
}

bool length_rule_holds(uint64_t length, uint32_t count, uint32_t packed_sum) {
  return static_cast<uint32_t>(length) - kEntrySize * count ==
         kTableOffset + kClosingWordSize + packed_sum;
}

ls11_status block_outside(const Container& container, uint32_t index, ls11_reason* reason) {
  const Entry& e = container.entries[index];
  set_reason(reason, LS11_REASON_BLOCK_OUTSIDE, index, container.file_length,
             uint64_t{e.data_offset} + e.packed_size);
  return LS11_ERR_CORRUPT;
}

uint64_t table_end(uint32_t count) {
  return kTableOffset + kClosingWordSize + uint64_t{kEntrySize} * count;
}

// Why a file of `length` bytes, beginning with head[0, min(length, 284)),
// cannot open, judged from those bytes alone: the first rule it breaks, in
// the order a reader meets them. False when they allow a table of `count`
// entries.
bool head_fails(const uint8_t* head, uint64_t length, uint32_t& count, ls11_reason* reason) {
  if (length == 0) {
    set_reason(reason, LS11_REASON_EMPTY);
  } else if (length < kHeaderSize) {
    set_reason(reason, LS11_REASON_SHORT_HEADER, LS11_NO_ENTRY, length, kHeaderSize);
  } else if (std::memcmp(head, "LS1", 3) != 0 || head[3] < '0' || head[3] > '2') {
    set_reason(reason, LS11_REASON_UNKNOWN_KIND, LS11_NO_ENTRY, read_be32(head));
  } else if (header_format(head) == 0) {
    uint32_t at = 4;
    while (head[at] == 0) ++at;
    set_reason(reason, LS11_REASON_HEADER_PADDING, LS11_NO_ENTRY, at);
  } else if (length > kLargestFile) {
    set_reason(reason, LS11_REASON_TOO_LONG, LS11_NO_ENTRY, length, kLargestFile);
  } else if (length < kFirstEntryEnd) {
    set_reason(reason, LS11_REASON_NO_TABLE, LS11_NO_ENTRY, length, kFirstEntryEnd);
  } else if (read_be32(head + kTableOffset + 8) < kFirstBlockLeast) {
    set_reason(reason, LS11_REASON_FIRST_OFFSET, LS11_NO_ENTRY, read_be32(head + kTableOffset + 8),
               kFirstBlockLeast);
  } else if (!table_count(head + kTableOffset, length, count)) {
    set_reason(reason, LS11_REASON_TABLE_CUT, LS11_NO_ENTRY, length, table_end(count));
  } else {
    return false;
  }
  return true;
}

// The length rule, once the table is read: a first offset that is not
// where the table ends explains a failure before the sizes do.
ls11_status check_length(const Container& c, uint32_t packed_sum, uint32_t first_offset,
                         ls11_reason* reason) {
  if (length_rule_holds(c.file_length, c.count, packed_sum)) {
    set_reason(reason, LS11_REASON_NONE);
    return LS11_OK;
  }
  if (first_offset != table_end(c.count)) {
    set_reason(reason, LS11_REASON_FIRST_OFFSET, LS11_NO_ENTRY, first_offset, table_end(c.count));
  } else {
    set_reason(reason, LS11_REASON_LENGTH_MISMATCH, LS11_NO_ENTRY, c.file_length,
               table_end(c.count) + c.total_packed);
  }
  return LS11_ERR_FORMAT;
}

}  // namespace

int header_format(const uint8_t header[kHeaderSize]) {
  if (std::memcmp(header, "LS1", 3) != 0) return 0;
  if (header[3] < '0' || header[3] > '2') return 0;
  for (uint32_t i = 4; i < kHeaderSize; ++i) {
    if (header[i] != 0) return 0;
  }
  return 10 + (header[3] - '0');
}

int detect_format(std::FILE* input) {
  uint64_t start = 0;
  uint8_t header[kHeaderSize];
  if (!platform::stream_position(input, start) || !platform::read_exact(input, header, kHeaderSize))
    return 0;
  const int format = header_format(header);
  if (format == 0 || !platform::seek_to(input, start)) return 0;
  return format;
}

ls11_status read_table(std::FILE* file, uint64_t length, int format, Container& container,
                       ls11_reason* reason) {
  container.format = format;
  container.file_length = length;
  // A recognised file too short for the dictionary and entry 0 is refused
  // like any other file whose layout does not add up.
  uint8_t entry0[kEntrySize];
  uint32_t count = 0;
  if (!platform::seek_to(file, kDictionaryOffset) ||
      !platform::read_exact(file, container.dictionary, sizeof container.dictionary) ||
      !platform::read_exact(file, entry0, sizeof entry0) || !table_count(entry0, length, count)) {
    set_reason(reason, LS11_REASON_CANNOT_READ, LS11_NO_ENTRY, 0, 0, errno);
    return LS11_ERR_FORMAT;
  }
  if (allocate_table(count, container) != LS11_OK) return no_memory(reason);

  uint32_t packed_sum = 0;
  // The table follows the dictionary and entry 0 is read again with it: the
  // stream is already there, so this is no seek.
  bool read = platform::seek_to(file, kTableOffset);
  for (uint32_t first = 0; read && first < count; first += kTableBatch) {
    uint8_t raw[kTableBatch * kEntrySize];
    const uint32_t batch = count - first < kTableBatch ? count - first : kTableBatch;
    read = platform::read_exact(file, raw, size_t{batch} * kEntrySize);
    if (read) add_entries(raw, first, batch, container, packed_sum);
  }
  if (!read) {
    set_reason(reason, LS11_REASON_CANNOT_READ, LS11_NO_ENTRY, 0, 0, errno);
    return LS11_ERR_FORMAT;
  }
  return check_length(container, packed_sum, read_be32(entry0 + 8), reason);
}

ls11_status read_container(std::FILE* file, Container& container, ls11_reason* reason) {
  uint64_t length = 0;
  uint8_t head[kFirstEntryEnd];
  errno = 0;
  if (!platform::stream_length(file, length) || !platform::seek_to(file, 0) ||
      !platform::read_exact(file, head, length < kFirstEntryEnd ? length : kFirstEntryEnd)) {
    set_reason(reason, LS11_REASON_CANNOT_READ, LS11_NO_ENTRY, 0, 0, errno);
    return LS11_ERR_FORMAT;
  }
  uint32_t count = 0;
  if (head_fails(head, length, count, reason)) return LS11_ERR_FORMAT;
  return read_table(file, length, header_format(head), container, reason);
}

ls11_status read_container_memory(const uint8_t* data, size_t size, Container& container,
                                  ls11_reason* reason) {
  uint32_t count = 0;
  if (head_fails(data, size, count, reason)) return LS11_ERR_FORMAT;
  container.format = header_format(data);
  container.file_length = size;
  std::memcpy(container.dictionary, data + kDictionaryOffset, sizeof container.dictionary);
  if (allocate_table(count, container) != LS11_OK) return no_memory(reason);
  uint32_t packed_sum = 0;
  add_entries(data + kTableOffset, 0, count, container, packed_sum);
  return check_length(container, packed_sum, read_be32(data + kTableOffset + 8), reason);
}

bool block_in_file(const Container& container, uint32_t index) {
  const Entry& e = container.entries[index];
  return uint64_t{e.data_offset} + e.packed_size <= container.file_length;
}

ls11_status decode_entry(const Container& container, uint32_t index, const uint8_t* packed,
                         uint8_t* out, ls11_reason* reason) {
  const Entry& e = container.entries[index];
  if (entry_is_stored(e)) {
    if (out != packed && e.packed_size != 0) std::memcpy(out, packed, e.packed_size);
    return LS11_OK;
  }
  if (decode_block(packed, e.packed_size, container.dictionary, out, e.unpacked_size))
    return LS11_OK;
  set_reason(reason, LS11_REASON_BLOCK_CORRUPT, index);
  return LS11_ERR_CORRUPT;
}

ls11_status allocate_entry_buffers(const Container& container, EntryBuffers& buffers,
                                   bool with_decoded) {
  // A block larger than the file fails before it is read, so the packed
  // buffer never needs more than the file's length: packed sizes that wrap
  // the length rule's sum can claim up to 4 GiB in a file of a few hundred
  // bytes. Stored blocks are handed out from the packed buffer, so the
  // decoded buffer only holds compressed blocks' output.
  const uint64_t packed_size =
      container.max_packed < container.file_length ? container.max_packed : container.file_length;
  buffers.packed.reset(new (std::nothrow) uint8_t[packed_size]);  // GCOVR_EXCL_BR_LINE
  if (!buffers.packed) return LS11_ERR_NO_MEMORY;
  buffers.position = kUnknownPosition;
  return with_decoded ? allocate_decoded(container, buffers) : LS11_OK;
}

ls11_status read_block(std::FILE* file, const Container& container, uint32_t index,
                       EntryBuffers& buffers, ls11_reason* reason) {
  const Entry& e = container.entries[index];
  if (!block_in_file(container, index)) return block_outside(container, index, reason);
  errno = 0;
  if ((e.data_offset != buffers.position && !platform::seek_to(file, e.data_offset)) ||
      !platform::read_exact(file, buffers.packed.get(), e.packed_size)) {
    buffers.position = kUnknownPosition;
    set_reason(reason, LS11_REASON_CANNOT_READ, index, 0, 0, errno);
    return LS11_ERR_CORRUPT;
  }
  buffers.position = uint64_t{e.data_offset} + e.packed_size;
  return LS11_OK;
}

ls11_status locate_block(BlockSource source, const Container& container, uint32_t index,
                         const uint8_t*& packed, ls11_reason* reason) {
  if (!block_in_file(container, index)) return block_outside(container, index, reason);
  if (!source.file) {
    packed = source.memory + container.entries[index].data_offset;
    return LS11_OK;
  }
  if (!source.buffers->packed) {
    const ls11_status allocated = allocate_entry_buffers(container, *source.buffers, false);
    if (allocated != LS11_OK) return no_memory(reason);
  }
  packed = source.buffers->packed.get();
  return read_block(source.file, container, index, *source.buffers, reason);
}

ls11_status read_entry(BlockSource source, const Container& container, uint32_t index,
                       const uint8_t*& data, ls11_reason* reason) {
  const uint8_t* packed = nullptr;
  const ls11_status status = locate_block(source, container, index, packed, reason);
  if (status != LS11_OK) return status;
  if (entry_is_stored(container.entries[index])) {
    data = packed;
    return LS11_OK;
  }
  EntryBuffers& buffers = *source.buffers;
  if (!buffers.decoded) {
    const ls11_status allocated = allocate_decoded(container, buffers);
    if (allocated != LS11_OK) return no_memory(reason);
  }
  data = buffers.decoded.get();
  return decode_entry(container, index, packed, buffers.decoded.get(), reason);
}

}  // namespace ls11
