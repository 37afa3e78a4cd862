// Converting an LS11 file into its decoded file: the bytes of every block,
// in table order, one after another.
#pragma once

#include "container/status.h"

namespace ls11 {

// Converts the file at input_path into output_path and returns the
// outcome. The output is created only once the header is recognised, and
// is never removed: after a failure it holds the blocks written before it.
// STATUS_OPEN_INPUT, STATUS_UNSUPPORTED (before the output is created, or
// from the table), STATUS_CREATE_OUTPUT, STATUS_DECODE_FAILED,
// STATUS_NO_MEMORY.
Status convert_to_file(const char* input_path, const char* output_path);

}  // namespace ls11
