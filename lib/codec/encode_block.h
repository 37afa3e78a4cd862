// Block encoder for the LS11 bit code (doc/format.md), the inverse of
// decode_block. Each literal and each back-reference has a fixed price in
// bits, so the cheapest packing of a block is a shortest path over its
// positions.
#pragma once

#include <cstdint>

#include "ls11.h"

namespace ls11 {

// Levels are the public scale: LS11_LEVEL_FAST parses lazily over a small
// hash table, several times faster than LS11_LEVEL_BEST, which takes the
// shortest path over every position with the nearest match of each useful
// length from a binary-tree match finder; LS11_LEVEL_STORE writes every
// block as it is.

// Packs `size` bytes of `data` into `out`, which has room for `size` bytes.
// On return `packed_size` < `size` means `out` holds a compressed block;
// `packed_size` == `size` means the packed form would not have been smaller
// (or the dictionary lacks one of the block's bytes), and `out` holds the
// data unchanged: a reader takes a block whose sizes are equal as stored, so
// a compressed block is never written with equal sizes. Returns false only
// when working memory cannot be allocated.
bool encode_block(const uint8_t* data, uint32_t size, const uint8_t dictionary[256],
                  ls11_level level, uint8_t* out, uint32_t& packed_size);

struct ParseMemory;

// encode_block for packing many blocks: it also adds, when the block comes
// out compressed, how many times it wrote each byte as a literal to
// `literal_counts[byte]` (what a dictionary for the next try is ordered
// by), and it works in `memory`, which the caller keeps from block to block
// (see shortest_path_parse.h). With `out` null it writes nothing and only gives the
// packed size and the counts, which is all a round that tries a dictionary
// needs; the fast level then searches less, so they are those of a quicker
// parse than the one that writes.
bool encode_block_counting(const uint8_t* data, uint32_t size, const uint8_t dictionary[256],
                           ls11_level level, ParseMemory& memory, uint8_t* out,
                           uint32_t& packed_size, uint64_t literal_counts[256]);

}  // namespace ls11
