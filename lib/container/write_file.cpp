#include "container/write_file.h"

#include <cstring>
#include <new>

#include "container/layout.h"
#include "platform/file_io.h"

namespace ls11 {

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

bool write_to_file(void* context, const void* data, size_t size) {
  return platform::write_exact(static_cast<std::FILE*>(context), data, size);
}

bool write_to_memory(void* context, const void* data, size_t size) {
  MemoryCursor& cursor = *static_cast<MemoryCursor*>(context);
  if (size != 0) std::memcpy(cursor.next, data, size);
  cursor.next += size;
  return true;
}

bool write_placed(void* context, const void* data, size_t size) {
  PlacedCursor& cursor = *static_cast<PlacedCursor*>(context);
  if (size != 0 && !cursor.sink.write_at(cursor.sink.context, cursor.next, data, size)) {
    return false;
  }
  cursor.next += size;
  return true;
}

// The blocks of a placed pack as they come, one after another from the
// first block's offset.
struct Placing {
  PlacedCursor cursor;
  bool refused;
};

bool place_block(void* context, uint32_t, const uint8_t* bytes, uint32_t size) {
  Placing& placing = *static_cast<Placing*>(context);
  placing.refused = !write_placed(&placing.cursor, bytes, size);
  return !placing.refused;
}

}  // namespace

ByteSink file_sink(std::FILE* file) { return ByteSink{write_to_file, file}; }

ByteSink placed_sink(PlacedCursor& cursor) { return ByteSink{write_placed, &cursor}; }

ByteSink memory_sink(MemoryCursor& cursor) { return ByteSink{write_to_memory, &cursor}; }

ls11_status compute_file_length(const PackedBlock* blocks, uint32_t count, uint64_t& length) {
  if (count == 0) return LS11_ERR_ARGUMENT;
  length = first_block_offset(count);
  for (uint32_t i = 0; i < count; ++i) length += blocks[i].packed_size;
  return length <= UINT32_MAX ? LS11_OK : LS11_ERR_TOO_LARGE;
}

ls11_status write_file_head(ByteSink sink, int format, const uint8_t dictionary[256],
                            const PackedBlock* blocks, uint32_t count) {
  if (format < 10 || format > 12) return LS11_ERR_ARGUMENT;
  uint64_t length = 0;
  const ls11_status fits = compute_file_length(blocks, count, length);
  if (fits != LS11_OK) return fits;

  uint8_t header[kHeaderSize] = {'L', 'S', '1', static_cast<uint8_t>('0' + (format - 10))};
  if (!sink.write(sink.context, header, sizeof header) ||
      !sink.write(sink.context, dictionary, 256)) {
    return LS11_ERR_WRITE;
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
    if (!sink.write(sink.context, raw, size_t{batch} * kEntrySize)) return LS11_ERR_WRITE;
  }
  const uint8_t closing_word[kClosingWordSize] = {};
  return sink.write(sink.context, closing_word, sizeof closing_word) ? LS11_OK : LS11_ERR_WRITE;
}

ls11_status write_file(ByteSink sink, int format, const uint8_t dictionary[256],
                       const PackedBlock* blocks, uint32_t count) {
  const ls11_status head = write_file_head(sink, format, dictionary, blocks, count);
  if (head != LS11_OK) return head;
  for (uint32_t i = 0; i < count; ++i) {
    if (!sink.write(sink.context, blocks[i].bytes, blocks[i].packed_size)) {
      return LS11_ERR_WRITE;
    }
  }
  return LS11_OK;
}

ls11_status pack_entries(const BlockView* inputs, uint32_t count, ls11_level level,
                         unsigned threads, PackedEntries& packed, const BlockSink* in_order) {
  packed.blocks.reset(new (std::nothrow) PackedBlock[count]);  // GCOVR_EXCL_BR_LINE
  if (!packed.blocks) return LS11_ERR_NO_MEMORY;
  identity_dictionary(packed.dictionary);
  if (level == LS11_LEVEL_STORE) {
    for (uint32_t i = 0; i < count; ++i) {
      packed.blocks[i] = PackedBlock{inputs[i].data, inputs[i].size, inputs[i].size};
      if (in_order != nullptr &&
          !in_order->block(in_order->context, i, inputs[i].data, inputs[i].size)) {
        return LS11_ERR_NO_MEMORY;
      }
    }
    return LS11_OK;
  }

  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) total += inputs[i].size;
  if (total > SIZE_MAX) return LS11_ERR_NO_MEMORY;
  packed.storage = platform::allocate_large_buffer(static_cast<size_t>(total));
  std::unique_ptr<uint32_t[]> packed_sizes(new (std::nothrow) uint32_t[count]);
  if (!packed.storage || !packed_sizes ||
      !pack_blocks(inputs, count, level, threads, packed.dictionary, packed.storage.get(),
                   packed_sizes.get(), in_order)) {
    return LS11_ERR_NO_MEMORY;
  }
  const uint8_t* next = packed.storage.get();
  for (uint32_t i = 0; i < count; ++i) {
    packed.blocks[i] = PackedBlock{next, packed_sizes[i], inputs[i].size};
    next += inputs[i].size;
  }
  return LS11_OK;
}

ls11_status longest_file(const BlockView* inputs, uint32_t count, uint64_t& length) {
  length = first_block_offset(count);
  for (uint32_t i = 0; i < count; ++i) length += inputs[i].size;
  return length <= UINT32_MAX ? LS11_OK : LS11_ERR_TOO_LARGE;
}

ls11_status pack_file_placed(PlacedSink sink, int format, ls11_level level, unsigned threads,
                             const BlockView* inputs, uint32_t count) {
  if (format < 10 || format > 12 || count == 0) return LS11_ERR_ARGUMENT;
  uint64_t length = 0;
  if (longest_file(inputs, count, length) != LS11_OK) return LS11_ERR_TOO_LARGE;
  Placing placing{{sink, first_block_offset(count)}, false};
  const BlockSink in_order{place_block, &placing};
  PackedEntries packed;
  const ls11_status status = pack_entries(inputs, count, level, threads, packed, &in_order);
  if (placing.refused) return LS11_ERR_WRITE;
  if (status != LS11_OK) return status;
  PlacedCursor head{sink, 0};
  return write_file_head(placed_sink(head), format, packed.dictionary, packed.blocks.get(), count);
}

ls11_status pack_file(std::FILE* output, int format, ls11_level level, unsigned threads,
                      const BlockView* inputs, uint32_t count) {
  if (format < 10 || format > 12 || count == 0) return LS11_ERR_ARGUMENT;
  PackedEntries packed;
  const ls11_status status = pack_entries(inputs, count, level, threads, packed);
  if (status != LS11_OK) return status;
  return write_file(file_sink(output), format, packed.dictionary, packed.blocks.get(), count);
}

}  // namespace ls11
