// Binary-tree match finder over one block: for a position, the nearest
// match of every useful length, as the shortest-path parse wants them.
//
// The positions with the same 4-byte hash form a binary search tree ordered
// by the bytes that follow them, the newest at the root. Inserting a
// position walks from the root towards where it belongs, and the nodes on
// that walk are exactly the older strings that share the longest prefixes
// with it, met in increasing distance; each one longer than those before it
// is a match. The walk then splits the tree around the new position, which
// becomes the root, so one walk both searches and inserts. Lengths of 3,
// which pay only at short distances, come from a table of the newest
// position per 3-byte hash instead.
//
// The tree nodes live in a ring of `window` slots, so a match reaches at
// most window - 1 bytes back. A walk is bounded by `max_depth` nodes and
// ends at the first match of `nice_length` bytes, taking over that node's
// children: long runs and repeats cost one long compare, not a deep walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ls11 {

struct Match {
  uint32_t length;
  uint32_t distance;
};

// Growable tables kept from block to block: a block clears only the part of
// them its size uses, and they grow only for a larger block.
struct FinderTables {
  std::unique_ptr<uint32_t[]> hash3;     // newest position per 3-byte hash
  std::unique_ptr<uint32_t[]> hash4;     // tree root per 4-byte hash
  std::unique_ptr<uint32_t[]> children;  // two per ring slot: smaller, larger
  size_t hash3_capacity = 0;
  size_t hash4_capacity = 0;
  size_t window_capacity = 0;
};

struct MatchFinder {
  const uint8_t* data;
  uint32_t size;
  uint32_t window_mask;  // window - 1; the window is a power of two
  unsigned hash3_shift;
  unsigned hash4_shift;
  uint32_t max_depth;
  uint32_t nice_length;
  uint32_t* hash3;
  uint32_t* hash4;
  uint32_t* children;
};

// Farthest reach of a match, in bytes: distances up to 4 MiB - 1 keep the
// tree's ring at 32 MiB while costing no more than 44 bits.
constexpr unsigned kMaxWindowBits = 22;

// Sets up a finder over `data` whose matches reach up to 2^window_bits - 1
// bytes back (window_bits at most kMaxWindowBits), growing `tables` when
// they are too small for the block. False when they cannot be allocated.
bool match_finder_init(MatchFinder& finder, FinderTables& tables, const uint8_t* data,
                       uint32_t size, unsigned window_bits, uint32_t max_depth,
                       uint32_t nice_length);

// Inserts `position` (every position must be inserted once, in increasing
// order) and fills `matches` (room for max_depth + 1 entries) with the
// matches there in increasing distance and strictly increasing length, each
// as long as the block allows at its distance up to the first that reaches
// nice_length. Returns the number of matches.
uint32_t find_matches(MatchFinder& finder, uint32_t position, Match* matches);

// Inserts `position` without gathering matches, for positions that a long
// match already covers; compares at most nice_length bytes per node.
void skip_position(MatchFinder& finder, uint32_t position);

}  // namespace ls11
