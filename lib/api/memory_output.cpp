#include "api/memory_output.h"

#include <cstdlib>

namespace ls11 {

ls11_status write_to_new_buffer(uint64_t length, ls11_status (*write)(ByteSink sink, void* context),
                                void* context, void** out, size_t* out_size) {
  if (length > SIZE_MAX) return LS11_ERR_TOO_LARGE;
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
  if (!buffer) return LS11_ERR_NO_MEMORY;
  MemoryCursor cursor{buffer};
  const ls11_status status = write(memory_sink(cursor), context);
  if (status != LS11_OK) {
    std::free(buffer);
    return status;
  }
  *out = buffer;
  *out_size = static_cast<size_t>(length);
  return LS11_OK;
}

}  // namespace ls11
