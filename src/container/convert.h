// Converting an LS11 file into its decoded file: the bytes of every block,
// in table order, one after another.
#pragma once

#include <cstdio>

#include "container/read_container.h"

// Converts the file at input_path into output_path. Returns true exactly when
// it leaves g_status untouched (STATUS_OK); otherwise g_status holds the
// reason. The output is created only once the header is recognised, and is
// never removed: after a failure it holds the blocks written before it.
bool convert_file(const char* input_path, const char* output_path);

