// Files the API builds in memory and hands to the caller, who frees them
// with ls11_free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "container/status.h"
#include "container/write_file.h"

namespace ls11 {

// Allocates `length` bytes, has `write` fill them through a sink, and on
// success sets *out and *out_size; on failure the buffer is freed and the
// outputs are left as they were.
ls11_status write_to_new_buffer(uint64_t length, ls11_status (*write)(ByteSink sink, void* context),
                                void* context, void** out, size_t* out_size);

}  // namespace ls11
