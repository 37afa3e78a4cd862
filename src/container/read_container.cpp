#include "container/read_container.h"

#include <cstring>
#include <new>

#include "codec/decode_block.h"
#include "container/file_io.h"
#include "container/status.h"

namespace {

// Entries parsed per read of the table.
constexpr uint32_t kTableBatch = 512;

// Marks the stream position as unknown: the next block read seeks.
constexpr uint64_t kUnknownPosition = UINT64_MAX;

uint32_t read_be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

int detect_version(std::FILE* input) {
  uint64_t start = 0;
  uint8_t header[kHeaderSize];
  if (!stream_position(input, start) || !read_exact(input, header, kHeaderSize)) return 0;
  if (std::memcmp(header, "LS1", 3) != 0) return 0;
  if (header[3] < '0' || header[3] > '2') return 0;
  for (uint32_t i = 4; i < kHeaderSize; ++i) {
    if (header[i] != 0) return 0;
  }
  if (!seek_to(input, start)) return 0;
  return 10 + (header[3] - '0');
}

bool read_table(std::FILE* file, uint64_t length, int version, Container& container) {
  container.version = version;
  container.file_length = length;
  // A recognised file too short for the dictionary and entry 0 is refused
  // like any other file whose layout does not add up.
  uint8_t entry0[kEntrySize];
  if (!seek_to(file, kDictionaryOffset) ||
      !read_exact(file, container.dictionary, sizeof container.dictionary) ||
      !read_exact(file, entry0, sizeof entry0)) {
    return fail(STATUS_UNSUPPORTED);
  }
  const uint32_t count = (read_be32(entry0 + 8) - (kTableOffset + kClosingWordSize)) / kEntrySize;

  // The table must lie inside the file before it is allocated: a damaged
  // first offset (anything below 276 wraps the count to ~357 million) must
  // not cost gigabytes of memory.
  if (kTableOffset + kClosingWordSize + uint64_t{kEntrySize} * count > length) {
    return fail(STATUS_UNSUPPORTED);
  }
  container.count = count;
  container.entries.reset(new (std::nothrow) Entry[count]);
  if (!container.entries) return fail(STATUS_NO_MEMORY);

  uint32_t packed_sum = 0;  // wraps, as the length rule is taken modulo 2^32
  container.max_packed = 0;
  container.max_decoded = 0;
  container.total_unpacked = 0;
  // The table follows the dictionary and entry 0 is read again with it: the
  // stream is already there, so this is no seek.
  if (!seek_to(file, kTableOffset)) return fail(STATUS_UNSUPPORTED);
  for (uint32_t first = 0; first < count; first += kTableBatch) {
    uint8_t raw[kTableBatch * kEntrySize];
    const uint32_t batch = count - first < kTableBatch ? count - first : kTableBatch;
    if (!read_exact(file, raw, size_t{batch} * kEntrySize)) return fail(STATUS_UNSUPPORTED);
    for (uint32_t i = 0; i < batch; ++i) {
      const uint8_t* p = raw + size_t{i} * kEntrySize;
      Entry& e = container.entries[first + i];
      e = Entry{read_be32(p), read_be32(p + 4), read_be32(p + 8)};
      packed_sum += e.packed_size;
      if (e.packed_size > container.max_packed) container.max_packed = e.packed_size;
      if (!entry_is_stored(e) && e.unpacked_size > container.max_decoded) {
        container.max_decoded = e.unpacked_size;
      }
      container.total_unpacked += e.unpacked_size;
    }
  }

  if (static_cast<uint32_t>(length) - kEntrySize * count !=
      kTableOffset + kClosingWordSize + packed_sum) {
    return fail(STATUS_UNSUPPORTED);
  }
  return true;
}

bool read_container(std::FILE* file, Container& container) {
  const int version = detect_version(file);
  uint64_t length = 0;
  if (version == 0 || !stream_length(file, length)) return fail(STATUS_UNSUPPORTED);
  return read_table(file, length, version, container);
}

bool allocate_entry_buffers(const Container& container, EntryBuffers& buffers) {
  // A block larger than the file fails before it is read, so the packed
  // buffer never needs more than the file's length: packed sizes that wrap
  // the length rule's sum can claim up to 4 GiB in a file of a few hundred
  // bytes. Stored blocks are handed out from the packed buffer, so the
  // decoded buffer only holds compressed blocks' output.
  const uint64_t packed_size =
      container.max_packed < container.file_length ? container.max_packed : container.file_length;
  buffers.packed.reset(new (std::nothrow) uint8_t[packed_size]);
  if (!buffers.packed) return fail(STATUS_NO_MEMORY);
  buffers.decoded.reset(new (std::nothrow) uint8_t[container.max_decoded]);
  if (!buffers.decoded) return fail(STATUS_NO_MEMORY);
  buffers.position = kUnknownPosition;
  return true;
}

bool read_entry(std::FILE* file, const Container& container, uint32_t index,
                EntryBuffers& buffers, const uint8_t*& data) {
  const Entry& e = container.entries[index];
  const uint64_t end = uint64_t{e.data_offset} + e.packed_size;
  if (end > container.file_length ||
      (e.data_offset != buffers.position && !seek_to(file, e.data_offset)) ||
      !read_exact(file, buffers.packed.get(), e.packed_size)) {
    buffers.position = kUnknownPosition;
    return fail(STATUS_DECODE_FAILED);
  }
  buffers.position = end;
  if (entry_is_stored(e)) {
    data = buffers.packed.get();
    return true;
  }
  if (!decode_block(buffers.packed.get(), e.packed_size, container.dictionary,
                    buffers.decoded.get(), e.unpacked_size)) {
    return fail(STATUS_DECODE_FAILED);
  }
  data = buffers.decoded.get();
  return true;
}
