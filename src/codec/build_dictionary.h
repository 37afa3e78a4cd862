// The dictionary a file's blocks are packed with: literal codes go to bytes
// in order of how often the parse writes them as literals, the most frequent
// getting code 0 (2 bits), so the bytes that matches do not cover cost least.
#pragma once

#include <cstdint>

#include "codec/encode_block.h"

// One block's bytes.
struct BlockView {
  const uint8_t* data;
  uint32_t size;
};

// Fills `dictionary` with a permutation of the 256 byte values for packing
// `blocks` at `level`. Starts from the bytes' plain frequencies, then parses
// with the current dictionary and reorders by the literals the parse wrote,
// for as long as the total size falls (at most a few rounds). Returns false
// when working memory cannot be allocated.
bool build_dictionary(const BlockView* blocks, uint32_t count, EncodeLevel level,
                      uint8_t dictionary[256]);

// The dictionary[v] = v: what a file of stored blocks is written with.
void identity_dictionary(uint8_t dictionary[256]);
