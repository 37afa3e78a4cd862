#include "codec/match_finder.h"

#include <bit>

#include "codec/bytes.h"
#include "codec/code_cost.h"
#include "codec/reserve_table.h"

namespace ls11 {

namespace {

constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
constexpr unsigned kMinHashBits = 10;
constexpr unsigned kMaxHash3Bits = 15;
constexpr unsigned kMaxHash4Bits = 18;

// Sizes the block's hash tables by the block: many small blocks must not
// pay for clearing tables sized for megabytes.
unsigned hash_bits_for(uint32_t size, unsigned max_bits) {
  const unsigned bits = static_cast<unsigned>(std::bit_width(size));
  return bits < kMinHashBits ? kMinHashBits : bits > max_bits ? max_bits : bits;
}

inline uint32_t hash3_of(const uint8_t* p, unsigned shift) {
  return (load24(p) * 2246822519u) >> shift;
}

inline uint32_t hash4_of(const uint8_t* p, unsigned shift) {
  return (load32(p) * 2654435761u) >> shift;
}

inline bool in_window(const MatchFinder& f, uint32_t position, uint32_t node) {
  return node != kNoPosition && position - node <= f.window_mask;
}

// Fetches, without waiting, what a step of the walk onto `node` reads
// first: its tree slot and its byte after `length` common ones. The byte's
// address is computed as an integer, since `node` may be no position and
// pointer arithmetic past the block is undefined; a fetch of any address is
// harmless, and the optimizer has nothing to lose in a hint.
inline void fetch_node(const MatchFinder& f, uint32_t node, uint32_t length) {
  const uintptr_t byte = reinterpret_cast<uintptr_t>(f.data) + node + length;
  __builtin_prefetch(reinterpret_cast<const void*>(byte));  // NOLINT(performance-no-int-to-ptr)
  __builtin_prefetch(f.children + 2 * size_t{node & f.window_mask});
}

// Fetches the next position's slots in both hash tables while this one
// walks: otherwise each is a miss that the walk's first step waits on.
inline void fetch_next_slots(const MatchFinder& f, uint32_t position) {
  if (f.size - position < 5) return;
  const uint8_t* const next = f.data + position + 1;
  __builtin_prefetch(f.hash3 + hash3_of(next, f.hash3_shift), 1);
  __builtin_prefetch(f.hash4 + hash4_of(next, f.hash4_shift), 1);
}

// Looks up and replaces the newest position of the 3-byte hash; a match of
// three bytes there when `matches` is given. Needs three bytes at position.
inline uint32_t update_hash3(MatchFinder& f, uint32_t position, Match* matches) {
  const uint8_t* const here = f.data + position;
  uint32_t& slot = f.hash3[hash3_of(here, f.hash3_shift)];
  const uint32_t near = slot;
  slot = position;
  if (matches != nullptr && in_window(f, position, near) && load24(f.data + near) == load24(here)) {
    matches[0] = Match{kMinMatch, position - near};
    return 1;
  }
  return 0;
}

// The walk described in the header. With `matches`, compares reach the
// block's end and every longer match is recorded; without, compares stop
// at nice_length. Needs four bytes at position.
uint32_t walk_tree(MatchFinder& f, uint32_t position, Match* matches, uint32_t count) {
  const uint8_t* const data = f.data;
  const uint8_t* const here = data + position;
  const uint32_t left = f.size - position;
  const uint32_t limit = matches != nullptr ? left : (f.nice_length < left ? f.nice_length : left);
  // Reaching `nice` ends the walk, and so must reaching `limit`: the next
  // byte would lie past the block.
  const uint32_t nice = f.nice_length < limit ? f.nice_length : limit;

  uint32_t& root = f.hash4[hash4_of(here, f.hash4_shift)];
  uint32_t node = root;
  root = position;
  uint32_t* const own = f.children + 2 * size_t{position & f.window_mask};
  uint32_t* pending_smaller = own;
  uint32_t* pending_larger = own + 1;
  // A tree node reports lengths of 3 only when the 3-byte table had none.
  uint32_t best = count != 0 ? kMinMatch : kMinMatch - 1;
  // Every node in the subtree still walked shares at least
  // min(smaller_length, larger_length) bytes with here.
  uint32_t smaller_length = 0;
  uint32_t larger_length = 0;
  uint32_t length = 0;
  for (uint32_t depth = f.max_depth; in_window(f, position, node) && depth > 0; --depth) {
    const uint8_t* const there = data + node;
    uint32_t* const node_children = f.children + 2 * size_t{node & f.window_mask};
    // The next step goes to one of the two children, which one only the
    // compare below tells; fetching both meanwhile overlaps their misses
    // with this node's.
    fetch_node(f, node_children[0], length);
    fetch_node(f, node_children[1], length);
    if (there[length] == here[length]) {
      length = common_length(there, here, length + 1, limit);
      if (length > best && matches != nullptr) {
        best = length;
        matches[count++] = Match{length, position - node};
      }
      if (length >= nice) {
        *pending_smaller = node_children[0];
        *pending_larger = node_children[1];
        return count;
      }
    }
    if (there[length] < here[length]) {
      *pending_smaller = node;
      pending_smaller = node_children + 1;
      node = *pending_smaller;
      smaller_length = length;
      if (larger_length < length) length = larger_length;
    } else {
      *pending_larger = node;
      pending_larger = node_children;
      node = *pending_larger;
      larger_length = length;
      if (smaller_length < length) length = smaller_length;
    }
  }
  *pending_smaller = kNoPosition;
  *pending_larger = kNoPosition;
  return count;
}

}  // namespace

bool match_finder_init(MatchFinder& finder, FinderTables& tables, const uint8_t* data,
                       uint32_t size, unsigned window_bits, uint32_t max_depth,
                       uint32_t nice_length) {
  const unsigned size_bits = static_cast<unsigned>(std::bit_width(size));
  if (window_bits > kMaxWindowBits) window_bits = kMaxWindowBits;
  if (window_bits > size_bits) window_bits = size_bits;
  const size_t window = size_t{1} << window_bits;
  const unsigned hash3_bits = hash_bits_for(size, kMaxHash3Bits);
  const unsigned hash4_bits = hash_bits_for(size, kMaxHash4Bits);
  const size_t hash3_size = size_t{1} << hash3_bits;
  const size_t hash4_size = size_t{1} << hash4_bits;
  if (!reserve_table(tables.hash3, tables.hash3_capacity, hash3_size) ||
      !reserve_table(tables.hash4, tables.hash4_capacity, hash4_size) ||
      !reserve_table(tables.children, tables.window_capacity, 2 * window)) {
    return false;
  }
  // Tree slots are written when their position is inserted, before any
  // walk can reach them; only the hash tables start empty.
  for (size_t i = 0; i < hash3_size; ++i) tables.hash3[i] = kNoPosition;
  for (size_t i = 0; i < hash4_size; ++i) tables.hash4[i] = kNoPosition;
  finder = MatchFinder{data,
                       size,
                       static_cast<uint32_t>(window - 1),
                       32 - hash3_bits,
                       32 - hash4_bits,
                       max_depth < 1 ? 1 : max_depth,
                       nice_length < kMinMatch + 1 ? kMinMatch + 1 : nice_length,
                       tables.hash3.get(),
                       tables.hash4.get(),
                       tables.children.get()};
  return true;
}

uint32_t find_matches(MatchFinder& finder, uint32_t position, Match* matches) {
  const uint32_t left = finder.size - position;
  if (left < kMinMatch) return 0;
  fetch_next_slots(finder, position);
  const uint32_t count = update_hash3(finder, position, matches);
  return left < 4 ? count : walk_tree(finder, position, matches, count);
}

void skip_position(MatchFinder& finder, uint32_t position) {
  const uint32_t left = finder.size - position;
  if (left < kMinMatch) return;
  fetch_next_slots(finder, position);
  update_hash3(finder, position, nullptr);
  if (left >= 4) walk_tree(finder, position, nullptr, 0);
}

}  // namespace ls11
