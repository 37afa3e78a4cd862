// Reading an LS11 file entry by entry, for tools that look inside one: its
// version, dictionary and entry table, checked by the same rules the
// conversion applies, and each entry's block decoded on its own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

struct Entry {
  uint32_t packed_size;
  uint32_t unpacked_size;
  uint32_t data_offset;
};

inline bool entry_is_stored(const Entry& entry) {
  return entry.packed_size == entry.unpacked_size;
}

struct Container {
  int version;  // 10, 11 or 12
  uint8_t dictionary[256];
  uint32_t count;
  std::unique_ptr<Entry[]> entries;
  uint32_t max_packed;    // largest packed_size
  uint32_t max_unpacked;  // largest unpacked_size
  uint64_t total_unpacked;
  uint64_t file_length;
};

// Reads the header, the dictionary and the table of the open `file`, which
// is accepted by the same rules as in convert_file: the table lies inside
// the file and the length rule holds. False with g_status set: STATUS_UNSUPPORTED for
// a file that is not a valid LS11 file, STATUS_NO_MEMORY.
bool read_container(std::FILE* file, Container& container);

// Buffers for decoding any entry of `container`.
struct EntryBuffers {
  std::unique_ptr<uint8_t[]> packed;
  std::unique_ptr<uint8_t[]> unpacked;
};

// False with g_status = STATUS_NO_MEMORY when they cannot be allocated.
bool allocate_entry_buffers(const Container& container, EntryBuffers& buffers);

// Reads and decodes entry `index`. On success `data` points at its
// unpacked_size bytes (inside `buffers`). False with g_status set to
// STATUS_DECODE_FAILED when the block lies outside the file or cannot be
// decoded.
bool read_entry(std::FILE* file, const Container& container, uint32_t index,
                EntryBuffers& buffers, const uint8_t*& data);
