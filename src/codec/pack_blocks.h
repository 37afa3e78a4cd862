// Packing the blocks of one file with one dictionary built for them.
//
// Literal codes go to bytes in order of how often the parse writes them as
// literals, the most frequent getting code 0 (2 bits): the bytes that
// matches do not cover are the ones that should cost least. The parse
// depends on those prices in turn, so the two are iterated: the first
// dictionary orders the bytes by plain frequency, each round packs every
// block with the current dictionary and orders the next one by the literals
// that round wrote, and the best round's blocks are kept.
#pragma once

#include <cstdint>

#include "codec/build_dictionary.h"
#include "codec/encode_block.h"

// Packs `count` blocks at `level`. `packed` has room for the blocks' total
// size; block i is left at the offset of its data in the blocks laid end to
// end (the sum of the sizes before it), taking packed_sizes[i] bytes, stored
// when that equals its size (see encode_block). `dictionary` receives the
// permutation of the 256 byte values it was packed with. Returns false when
// working memory cannot be allocated.
bool pack_blocks(const BlockView* blocks, uint32_t count, EncodeLevel level,
                 uint8_t dictionary[256], uint8_t* packed, uint32_t* packed_sizes);
