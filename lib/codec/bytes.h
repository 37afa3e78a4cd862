// Unaligned loads and the length of a common prefix, for the match finders.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace ls11 {

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The three bytes at p as a number (the same on every byte order).
inline uint32_t load24(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
}

// Number of equal bytes at a and b, counting on from `start` (the bytes
// before it are known equal) up to at most `limit`; eight at a time.
inline uint32_t common_length(const uint8_t* a, const uint8_t* b, uint32_t start, uint32_t limit) {
  uint32_t n = start;
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

}  // namespace ls11
