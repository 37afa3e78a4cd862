#include "api/memory_output.h"

#include <cstdlib>

namespace ls11 {

Status write_to_new_buffer(uint64_t length, Status (*write)(ByteSink sink, void* context),
                           void* context, void** out, size_t* out_size) {
  if (length > SIZE_MAX) return STATUS_TOO_LARGE;
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
  if (!buffer) return STATUS_NO_MEMORY;
  MemoryCursor cursor{buffer};
  const Status status = write(memory_sink(cursor), context);
  if (status != STATUS_OK) {
    std::free(buffer);
    return status;
  }
  *out = buffer;
  *out_size = static_cast<size_t>(length);
  return STATUS_OK;
}

}  // namespace ls11
