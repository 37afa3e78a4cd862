// Hash-chain match finder over one block: for a position, the back-references
// that reach further for each step in distance, nearest first.
//
// Every position whose next three bytes exist is linked into the chain of
// its 3-byte hash. The chains live in a ring of `window` entries, so a match
// reaches at most window - 1 bytes back. Walking a chain is bounded by
// `max_depth` candidates and stops at the first match of `nice_length`
// bytes: long runs and repeats cost one long compare, not a chain walk at
// every position.
#pragma once

#include <cstdint>
#include <memory>

struct Match {
  uint32_t length;
  uint32_t distance;
};

struct MatchFinder {
  const uint8_t* data;
  uint32_t size;
  uint32_t next_insert;  // positions below it are linked into the chains
  uint32_t window_mask;  // window - 1; the window is a power of two
  unsigned hash_shift;
  uint32_t max_depth;
  uint32_t nice_length;
  std::unique_ptr<uint32_t[]> head;  // newest position per hash, or kNoPosition
  std::unique_ptr<uint32_t[]> prev;  // older position of the same hash, by ring slot
};

// Farthest reach of a match, in bytes: distances up to 4 MiB - 1 keep the
// chain ring at 16 MiB while costing no more than 44 bits.
constexpr unsigned kMaxWindowBits = 22;

// False when the tables cannot be allocated.
bool match_finder_init(MatchFinder& finder, const uint8_t* data, uint32_t size,
                       uint32_t max_depth, uint32_t nice_length);

// Links the positions from next_insert up to (not including) `position`.
void insert_until(MatchFinder& finder, uint32_t position);

// Fills `matches` (room for max_depth entries) with the matches at
// `position`, each at most max_length bytes, in increasing distance and
// strictly increasing length; the last one is the longest found. Links every
// position up to and including `position`. Returns the number of matches.
uint32_t find_matches(MatchFinder& finder, uint32_t position, uint32_t max_length,
                      Match* matches);
