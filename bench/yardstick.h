// The benchmark's yardstick for packed sizes (see yardstick.cpp); never
// part of the tools.
#pragma once

#include <cstdint>
#include <vector>

#include "codecs.h"

// The yardstick's packed size of `blocks`, in bytes, computed on `threads`
// threads. False when the best level it starts from fails.
bool yardstick_size(const std::vector<Bytes>& blocks, unsigned threads, uint64_t& total);
