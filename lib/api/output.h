// The files the API builds go out one of two ways: into memory allocated
// for them, which the caller frees with ls11_free, or through the caller's
// ls11_write_fn.
#pragma once

#include <cstddef>
#include <cstdint>

#include "container/write_file.h"
#include "ls11.h"

namespace ls11 {

// What writes a whole file to a sink.
using FileWriter = ls11_status (*)(ByteSink sink, void* context);

// Allocates `length` bytes, has `write` fill them through a sink, and on
// success sets *out and *out_size; on failure the buffer is freed and the
// outputs are left as they were.
ls11_status write_to_new_buffer(uint64_t length, FileWriter write, void* context, void** out,
                                size_t* out_size);

// Has `write` hand the file to the caller's callback, which never sees an
// empty piece. LS11_ERR_WRITE with LS11_REASON_WRITE_REFUSED when it
// refuses one; otherwise write's status.
ls11_status write_to_caller(ls11_write_fn callback, void* callback_context, FileWriter write,
                            void* context, ls11_reason* reason);

// Hands `size` bytes to the callback as write_to_caller does; false when
// it refuses them.
bool hand_to_caller(ls11_write_fn callback, void* context, const void* data, size_t size);

// compute_file_length, with LS11_REASON_FILE_TOO_LARGE for a file past
// 4 GiB - 1.
ls11_status file_length(const PackedBlock* blocks, uint32_t count, uint64_t& length,
                        ls11_reason* reason);

}  // namespace ls11
