#include "codec/match_finder.h"

#include <bit>
#include <cstring>
#include <new>

#include "codec/code_cost.h"

namespace {

constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
constexpr unsigned kMinHashBits = 10;
constexpr unsigned kMaxHashBits = 17;
constexpr unsigned kHash3Bits = 14;

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Hash of the five bytes at p (eight must be readable), in the top bits.
inline uint32_t hash5(const uint8_t* p, unsigned shift) {
  const uint64_t v = load64(p);
  const uint64_t first5 = std::endian::native == std::endian::little ? v << 24 : v >> 24 << 24;
  return static_cast<uint32_t>((first5 * 0x9E3779B97F4A7C15ull) >> 32) >> shift;
}

inline uint32_t hash3(const uint8_t* p) {
  const uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
  return (v * 2246822519u) >> (32 - kHash3Bits);
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
                       unsigned window_bits, uint32_t max_depth, uint32_t nice_length) {
  // Small blocks get small tables: many small blocks must not pay for
  // clearing a table sized for megabytes.
  unsigned size_bits = static_cast<unsigned>(std::bit_width(size));
  unsigned hash_bits = size_bits < kMinHashBits ? kMinHashBits : size_bits;
  if (hash_bits > kMaxHashBits) hash_bits = kMaxHashBits;
  if (window_bits > kMaxWindowBits) window_bits = kMaxWindowBits;
  if (size_bits < window_bits) window_bits = size_bits;
  const size_t window = size_t{1} << window_bits;
  const size_t head_size = size_t{1} << hash_bits;
  const size_t head3_size = size_t{1} << kHash3Bits;

  finder.data = data;
  finder.size = size;
  finder.next_insert = 0;
  finder.window_mask = static_cast<uint32_t>(window - 1);
  finder.hash_shift = 32 - hash_bits;
  finder.max_depth = max_depth;
  finder.nice_length = nice_length;
  finder.head.reset(new (std::nothrow) uint32_t[head_size]);
  finder.prev.reset(new (std::nothrow) uint32_t[window]);
  finder.head3.reset(new (std::nothrow) uint32_t[head3_size]);
  if (!finder.head || !finder.prev || !finder.head3) return false;
  for (size_t i = 0; i < head_size; ++i) finder.head[i] = kNoPosition;
  for (size_t i = 0; i < head3_size; ++i) finder.head3[i] = kNoPosition;
  return true;
}

void insert_until(MatchFinder& finder, uint32_t position) {
  // Only positions with three bytes left can start a match, and only those
  // with eight (for the hash's load) go into the chains.
  const uint32_t size = finder.size;
  const uint32_t end3 = size >= 3 ? size - 2 : 0;
  const uint32_t end8 = size >= 8 ? size - 7 : 0;
  const uint32_t end = position < end3 ? position : end3;
  for (uint32_t p = finder.next_insert; p < end; ++p) {
    finder.head3[hash3(finder.data + p)] = p;
    if (p < end8) {
      const uint32_t h = hash5(finder.data + p, finder.hash_shift);
      finder.prev[p & finder.window_mask] = finder.head[h];
      finder.head[h] = p;
    }
  }
  if (position > finder.next_insert) finder.next_insert = position;
}

uint32_t find_matches(MatchFinder& finder, uint32_t position, uint32_t max_length,
                      Match* matches) {
  insert_until(finder, position);
  const uint8_t* const data = finder.data;
  const uint8_t* const here = data + position;
  uint32_t count = 0;
  if (max_length > finder.size - position) max_length = finder.size - position;
  if (max_length >= kMinMatch) {
    uint32_t best = kMinMatch - 1;
    // The newest position with the same three bytes is the nearest match
    // there is; every chain candidate lies behind it.
    const uint32_t near = finder.head3[hash3(here)];
    if (near != kNoPosition && position - near <= finder.window_mask &&
        common_length(data + near, here, kMinMatch) == kMinMatch) {
      best = common_length(data + near, here, max_length);
      matches[count++] = Match{best, position - near};
    }
    uint32_t candidate = finder.size - position >= 8 && best < finder.nice_length && best < max_length
                             ? finder.head[hash5(here, finder.hash_shift)]
                             : kNoPosition;
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
