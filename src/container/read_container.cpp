#include "container/read_container.h"

#include <new>

#include "codec/decode_block.h"
#include "container/convert.h"
#include "container/file_io.h"
#include "container/status.h"

namespace {

bool fail(int status) {
  g_status = status;
  return false;
}

uint32_t read_be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

bool read_exact(std::FILE* file, void* buffer, size_t size) {
  return size == 0 || std::fread(buffer, 1, size, file) == size;
}

}  // namespace

bool read_container(std::FILE* file, Container& container) {
  container.version = detect_version(file);
  uint8_t entry0[kEntrySize];
  uint64_t length = 0;
  if (container.version == 0 || !seek_to(file, kDictionaryOffset) ||
      !read_exact(file, container.dictionary, sizeof container.dictionary) ||
      !read_exact(file, entry0, sizeof entry0) || !stream_length(file, length)) {
    return fail(STATUS_UNSUPPORTED);
  }
  const uint32_t count = (read_be32(entry0 + 8) - (kTableOffset + kClosingWordSize)) / kEntrySize;
  if (kTableOffset + kClosingWordSize + uint64_t{kEntrySize} * count > length) {
    return fail(STATUS_UNSUPPORTED);
  }
  container.count = count;
  container.file_length = length;
  container.entries.reset(new (std::nothrow) Entry[count]);
  if (!container.entries) return fail(STATUS_NO_MEMORY);

  constexpr uint32_t kBatch = 512;
  uint8_t raw[kBatch * kEntrySize];
  uint32_t packed_sum = 0;  // wraps, as the length rule is taken modulo 2^32
  container.max_packed = 0;
  container.max_unpacked = 0;
  container.total_unpacked = 0;
  if (!seek_to(file, kTableOffset)) return fail(STATUS_UNSUPPORTED);
  for (uint32_t first = 0; first < count; first += kBatch) {
    const uint32_t batch = count - first < kBatch ? count - first : kBatch;
    if (!read_exact(file, raw, size_t{batch} * kEntrySize)) return fail(STATUS_UNSUPPORTED);
    for (uint32_t i = 0; i < batch; ++i) {
      const uint8_t* p = raw + size_t{i} * kEntrySize;
      Entry& e = container.entries[first + i];
      e = Entry{read_be32(p), read_be32(p + 4), read_be32(p + 8)};
      packed_sum += e.packed_size;
      if (e.packed_size > container.max_packed) container.max_packed = e.packed_size;
      if (e.unpacked_size > container.max_unpacked) container.max_unpacked = e.unpacked_size;
      container.total_unpacked += e.unpacked_size;
    }
  }
  if (static_cast<uint32_t>(length) - kEntrySize * count !=
      kTableOffset + kClosingWordSize + packed_sum) {
    return fail(STATUS_UNSUPPORTED);
  }
  return true;
}

bool allocate_entry_buffers(const Container& container, EntryBuffers& buffers) {
  buffers.packed.reset(new (std::nothrow) uint8_t[container.max_packed]);
  buffers.unpacked.reset(new (std::nothrow) uint8_t[container.max_unpacked]);
  if (!buffers.packed || !buffers.unpacked) return fail(STATUS_NO_MEMORY);
  return true;
}

bool read_entry(std::FILE* file, const Container& container, uint32_t index,
                EntryBuffers& buffers, const uint8_t*& data) {
  const Entry& e = container.entries[index];
  if (uint64_t{e.data_offset} + e.packed_size > container.file_length ||
      !seek_to(file, e.data_offset) || !read_exact(file, buffers.packed.get(), e.packed_size)) {
    return fail(STATUS_DECODE_FAILED);
  }
  if (entry_is_stored(e)) {
    data = buffers.packed.get();
    return true;
  }
  if (!decode_block(buffers.packed.get(), e.packed_size, container.dictionary,
                    buffers.unpacked.get(), e.unpacked_size)) {
    return fail(STATUS_DECODE_FAILED);
  }
  data = buffers.unpacked.get();
  return true;
}
