#include "codec/match_finder.h"

#include <bit>
#include <cstring>
#include <new>

#include "codec/code_cost.h"

namespace {

constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
constexpr unsigned kMinHashBits = 10;
constexpr unsigned kMaxHashBits = 17;

inline uint32_t hash3(const uint8_t* p, unsigned shift) {
  const uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
  return (v * 2654435761u) >> shift;
}

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Number of equal bytes at a and b, at most `limit`; eight at a time.
inline uint32_t common_length(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (limit - n >= 8) {
    const uint64_t diff = load64(a + n) ^ load64(b + n);
    if (diff != 0) {
      const int equal_bits = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                        : std::countl_zero(diff);
      return n + static_cast<uint32_t>(equal_bits) / 8;
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

}  // namespace

bool match_finder_init(MatchFinder& finder, const uint8_t* data, uint32_t size,
                       uint32_t max_depth, uint32_t nice_length) {
  // Small blocks get small tables: many small blocks must not pay for
  // clearing a table sized for megabytes.
  unsigned size_bits = static_cast<unsigned>(std::bit_width(size));
  unsigned hash_bits = size_bits < kMinHashBits ? kMinHashBits : size_bits;
  if (hash_bits > kMaxHashBits) hash_bits = kMaxHashBits;
  const unsigned window_bits = size_bits < kMaxWindowBits ? size_bits : kMaxWindowBits;
  const size_t window = size_t{1} << window_bits;
  const size_t head_size = size_t{1} << hash_bits;

  finder.data = data;
  finder.size = size;
  finder.next_insert = 0;
  finder.window_mask = static_cast<uint32_t>(window - 1);
  finder.hash_shift = 32 - hash_bits;
  finder.max_depth = max_depth;
  finder.nice_length = nice_length;
  finder.head.reset(new (std::nothrow) uint32_t[head_size]);
  finder.prev.reset(new (std::nothrow) uint32_t[window]);
  if (!finder.head || !finder.prev) return false;
  for (size_t i = 0; i < head_size; ++i) finder.head[i] = kNoPosition;
  return true;
}

void insert_until(MatchFinder& finder, uint32_t position) {
  // Only positions with three bytes left can start a match.
  const uint32_t hashable_end = finder.size >= kMinMatch ? finder.size - kMinMatch + 1 : 0;
  const uint32_t end = position < hashable_end ? position : hashable_end;
  for (uint32_t p = finder.next_insert; p < end; ++p) {
    const uint32_t h = hash3(finder.data + p, finder.hash_shift);
    finder.prev[p & finder.window_mask] = finder.head[h];
    finder.head[h] = p;
  }
  if (position > finder.next_insert) finder.next_insert = position;
}

uint32_t find_matches(MatchFinder& finder, uint32_t position, uint32_t max_length,
                      Match* matches) {
  insert_until(finder, position);
  const uint8_t* const data = finder.data;
  uint32_t count = 0;
  if (max_length > finder.size - position) max_length = finder.size - position;
  if (max_length >= kMinMatch) {
    const uint8_t* const here = data + position;
    uint32_t best = kMinMatch - 1;
    uint32_t candidate = finder.head[hash3(here, finder.hash_shift)];
    for (uint32_t depth = finder.max_depth; depth > 0 && candidate != kNoPosition; --depth) {
      const uint32_t distance = position - candidate;
      // A ring slot is only trusted while no newer position can have taken it.
      if (distance > finder.window_mask) break;
      const uint8_t* const there = data + candidate;
      // The byte that would make this match longer than the best is checked
      // first; most candidates fail there without a full compare.
      if (there[best] == here[best]) {
        const uint32_t length = common_length(there, here, max_length);
        if (length > best) {
          matches[count++] = Match{length, distance};
          best = length;
          if (length >= finder.nice_length || length == max_length) break;
        }
      }
      const uint32_t older = finder.prev[candidate & finder.window_mask];
      if (older >= candidate) break;  // end of chain (kNoPosition) or a reused slot
      candidate = older;
    }
  }
  insert_until(finder, position + 1);
  return count;
}
