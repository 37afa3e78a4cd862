// Converting an LS11 file into its decoded file: the bytes of every block,
// in table order, one after another.
#pragma once

#include "ls11.h"

namespace ls11 {

// Converts the file at input_path into output_path and returns the
// outcome. The output is created only once the header is recognised, and
// is never removed: after a failure it holds the blocks written before it.
// LS11_ERR_OPEN, LS11_ERR_FORMAT (before the output is created, or
// from the table), LS11_ERR_WRITE, LS11_ERR_CORRUPT,
// LS11_ERR_NO_MEMORY.
ls11_status convert_to_file(const char* input_path, const char* output_path);

}  // namespace ls11
