// Packing the blocks of one file with one dictionary built for them.
//
// Literal codes go to bytes in order of how often the parse writes them as
// literals, the most frequent getting code 0 (2 bits): the bytes that
// matches do not cover are the ones that should cost least. The parse
// depends on those prices in turn, so the two are iterated in rounds, each
// packing every block with the current dictionary and ordering the next
// one by the literals it wrote. Both levels start from a fast round over a
// sample of every block; the fast level then packs once. The best level
// settles the dictionary with a fast round over all blocks, which orders the
// bytes nearly as the best parse would at a fraction of its time, and then
// packs once with the best parse. Rounds that only try a dictionary
// measure the blocks without writing them.
//
// Within a round the blocks are independent, so several threads pack them,
// the largest first, so that no thread is left with a large block at the
// end; the last round of a pack whose blocks go out as they are done takes
// them in file order instead, so that they can (see BlockSink), all but
// those large enough to matter at the end. The
// dictionary changes only between rounds, and every block's bytes depend
// only on its data and the dictionary, so the result is the same whatever
// the number of threads or the order.
#pragma once

#include <cstdint>

#include "codec/build_dictionary.h"
#include "codec/encode_block.h"

namespace ls11 {

// Takes each packed block once it and every block before it are packed:
// in file order, one call at a time, from whichever packing thread
// finished it, while later blocks are still being packed. The bytes stay
// where pack_blocks put them. Returning false stops the pack.
struct BlockSink {
  bool (*block)(void* context, uint32_t index, const uint8_t* bytes, uint32_t size);
  void* context;
};

// Packs `count` blocks at `level` on up to `threads` threads (0: one per
// core the system reports; never more than there are blocks, nor more than
// twice the cores or 4, whichever is more; fewer when the system will not
// start more). `packed` has room for the blocks' total
// size; block i is left at the offset of its data in the blocks laid end to
// end (the sum of the sizes before it), taking packed_sizes[i] bytes,
// stored when that equals its size (see encode_block). `dictionary`
// receives the permutation of the 256 byte values it was packed with.
// Besides the blocks and the output, it needs per thread the working
// memory of encode_block_counting for the largest block (see shortest_path_parse.h).
// Each block also goes to `in_order` when given, the dictionary being
// final by then. Returns false when working memory cannot be allocated or
// `in_order` refused a block.
bool pack_blocks(const BlockView* blocks, uint32_t count, ls11_level level, unsigned threads,
                 uint8_t dictionary[256], uint8_t* packed, uint32_t* packed_sizes,
                 const BlockSink* in_order = nullptr);

// The threads a request for `requested` (0: one per core) gets for `jobs`
// independent jobs: never more than the jobs, nor than twice the cores or
// 4, whichever is more (beyond a few per core threads add nothing but
// their tables), and at least one.
unsigned packing_threads(unsigned requested, uint32_t jobs);

// Runs job(context, w) for w = 0 to threads - 1 at once, w = 0 on the
// calling thread and each other on a thread of its own; a thread the
// system will not start leaves its share to the others (the jobs take
// their work from a shared counter), so only the first w values run.
// Returns how many ran, once all have ended. The only place where packing
// starts threads.
unsigned run_workers(unsigned threads, void (*job)(void* context, unsigned worker), void* context);

}  // namespace ls11
