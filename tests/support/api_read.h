// Reads a whole file through the public C API, entry by entry in table
// order, the way a program using the library would: what it gets is what
// unls11 writes, up to the first entry that fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/ls11_writer.h"

struct ApiRead {
  int open_status = -1;  // of ls11_open or ls11_open_memory
  int status = -1;       // the open's, or the first failing read's, or 0
  Bytes output;          // the entries read before the failure
};

ApiRead api_read_memory(const uint8_t* data, size_t size);
inline ApiRead api_read_memory(const Bytes& file) {
  return api_read_memory(file.data(), file.size());
}
ApiRead api_read_path(const std::string& path);

// A write callback for the API's *_to calls that keeps what it is handed,
// or refuses the piece that would pass `refuse_after` bytes.
struct Collected {
  Bytes bytes;
  size_t pieces = 0;
  size_t refuse_after = SIZE_MAX;
};
int collect(void* context, const void* data, size_t size);

// A write_at callback for ls11_pack_at that lays what it is handed at its
// offsets, counting the bytes handed more than once and the pieces that
// start before the end of the one before; or refuses the piece that would
// pass `refuse_after` bytes in all.
struct Placed {
  Bytes bytes;
  Bytes written;  // 1 where a byte was handed
  size_t total = 0;
  size_t twice = 0;
  size_t backward = 0;
  uint64_t end = 0;
  size_t refuse_after = SIZE_MAX;
};
int place(void* context, uint64_t offset, const void* data, size_t size);
