// The dictionary a file's blocks are packed with (see pack_blocks.h for how
// it is found): literal codes go to bytes in order of how often the parse
// writes them as literals, the most frequent getting code 0.
#pragma once

#include <cstdint>

#include "codec/block_view.h"
#include "codec/encode_block.h"

namespace ls11 {

// Fills `dictionary` with the permutation of the 256 byte values that
// pack_blocks would pack `blocks` with at `level`. Returns false when
// working memory cannot be allocated.
bool build_dictionary(const BlockView* blocks, uint32_t count, ls11_level level,
                      uint8_t dictionary[256]);

// dictionary[v] = v: what a file of stored blocks is written with.
void identity_dictionary(uint8_t dictionary[256]);

}  // namespace ls11
