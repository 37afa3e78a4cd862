// Runs convert_file on bytes held in memory, through real files in a fresh
// temporary folder, and reports everything a caller can observe.
#pragma once

#include <cstddef>

#include "support/ls11_writer.h"

struct Conversion {
  bool succeeded = false;
  int status = -1;
  bool output_exists = false;
  Bytes output;
  size_t largest_array_allocation = 0;  // asked of new[] by convert_file
};

Conversion convert_bytes(const Bytes& file);
