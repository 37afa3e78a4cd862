#include "container/write_file.h"

#include <memory>
#include <new>

#include "container/file_io.h"
#include "container/layout.h"
#include "container/status.h"

namespace {

void store_be32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

uint64_t first_block_offset(uint32_t count) {
  return kTableOffset + uint64_t{kEntrySize} * count + kClosingWordSize;
}

}  // namespace

bool file_fits(const PackedBlock* blocks, uint32_t count) {
  if (count == 0) return false;
  uint64_t length = first_block_offset(count);
  for (uint32_t i = 0; i < count; ++i) length += blocks[i].packed_size;
  return length <= UINT32_MAX;
}

bool write_file(std::FILE* output, int version, const uint8_t dictionary[256],
                const PackedBlock* blocks, uint32_t count) {
  if (version < 10 || version > 12 || !file_fits(blocks, count)) return fail(STATUS_UNSUPPORTED);

  uint8_t header[kHeaderSize] = {'L', 'S', '1', static_cast<uint8_t>('0' + (version - 10))};
  if (!write_exact(output, header, sizeof header) || !write_exact(output, dictionary, 256)) {
    return fail(STATUS_CREATE_OUTPUT);
  }
  // The table is written in batches of entries, then the closing word.
  constexpr uint32_t kBatch = 512;
  uint8_t raw[kBatch * kEntrySize];
  uint32_t offset = static_cast<uint32_t>(first_block_offset(count));
  for (uint32_t first = 0; first < count; first += kBatch) {
    const uint32_t batch = count - first < kBatch ? count - first : kBatch;
    for (uint32_t i = 0; i < batch; ++i) {
      const PackedBlock& block = blocks[first + i];
      uint8_t* entry = raw + size_t{i} * kEntrySize;
      store_be32(entry, block.packed_size);
      store_be32(entry + 4, block.unpacked_size);
      store_be32(entry + 8, offset);
      offset += block.packed_size;
    }
    if (!write_exact(output, raw, size_t{batch} * kEntrySize)) return fail(STATUS_CREATE_OUTPUT);
  }
  const uint8_t closing_word[kClosingWordSize] = {};
  if (!write_exact(output, closing_word, sizeof closing_word)) return fail(STATUS_CREATE_OUTPUT);
  for (uint32_t i = 0; i < count; ++i) {
    if (!write_exact(output, blocks[i].bytes, blocks[i].packed_size)) {
      return fail(STATUS_CREATE_OUTPUT);
    }
  }
  return true;
}

bool pack_file(std::FILE* output, int version, EncodeLevel level, unsigned threads, bool store,
               const BlockView* inputs, uint32_t count) {
  std::unique_ptr<PackedBlock[]> blocks(new (std::nothrow) PackedBlock[count]);
  if (!blocks) return fail(STATUS_NO_MEMORY);
  uint8_t dictionary[256];
  identity_dictionary(dictionary);
  std::unique_ptr<uint8_t[]> packed;
  if (store) {
    for (uint32_t i = 0; i < count; ++i) {
      blocks[i] = PackedBlock{inputs[i].data, inputs[i].size, inputs[i].size};
    }
    return write_file(output, version, dictionary, blocks.get(), count);
  }

  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) total += inputs[i].size;
  packed.reset(new (std::nothrow) uint8_t[total]);
  std::unique_ptr<uint32_t[]> packed_sizes(new (std::nothrow) uint32_t[count]);
  if (!packed || !packed_sizes ||
      !pack_blocks(inputs, count, level, threads, dictionary, packed.get(), packed_sizes.get())) {
    return fail(STATUS_NO_MEMORY);
  }
  const uint8_t* next = packed.get();
  for (uint32_t i = 0; i < count; ++i) {
    blocks[i] = PackedBlock{next, packed_sizes[i], inputs[i].size};
    next += inputs[i].size;
  }
  return write_file(output, version, dictionary, blocks.get(), count);
}
