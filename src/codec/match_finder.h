// Hash-chain match finder over one block: for a position, the back-references
// that reach further for each step in distance, nearest first.
//
// Positions are linked into chains by a hash of their next five bytes; the
// chains live in a ring of `window` entries, so a match reaches at most
// window - 1 bytes back. Short matches pay only at short distances, so they
// come from a table of the newest position for each 3-byte hash instead:
// that keeps the chains free of the many positions that share only a few
// bytes (zero runs and padding in binaries), which would use up the depth. Walking a chain is bounded by
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
  std::unique_ptr<uint32_t[]> head;   // newest position per 5-byte hash, or kNoPosition
  std::unique_ptr<uint32_t[]> prev;   // older position of the same hash, by ring slot
  std::unique_ptr<uint32_t[]> head3;  // newest position per 3-byte hash, or kNoPosition
};

// Farthest reach of a match, in bytes: distances up to 4 MiB - 1 keep the
// chain ring at 16 MiB while costing no more than 44 bits.
constexpr unsigned kMaxWindowBits = 22;

// Sets up a finder whose matches reach up to 2^window_bits - 1 bytes back
// (window_bits at most kMaxWindowBits). False when the tables cannot be
// allocated.
bool match_finder_init(MatchFinder& finder, const uint8_t* data, uint32_t size,
                       unsigned window_bits, uint32_t max_depth, uint32_t nice_length);

// Links the positions from next_insert up to (not including) `position`.
void insert_until(MatchFinder& finder, uint32_t position);

// Fills `matches` (room for max_depth + 1 entries: the nearest 3-byte match
// and one per chain candidate) with the matches at
// `position`, each at most max_length bytes, in increasing distance and
// strictly increasing length; the last one is the longest found. Links every
// position up to and including `position`. Returns the number of matches.
uint32_t find_matches(MatchFinder& finder, uint32_t position, uint32_t max_length,
                      Match* matches);
