// Sizes of codes in the LS11 bit stream (doc/format.md, "The bit code"): a
// value v costs 2n bits, where n = floor(log2(v + 2)).
#pragma once

#include <bit>
#include <cstdint>

namespace ls11 {

// Number of n for value v: the count of bits after the prefix. Values stay
// far below 2^64 - 2, so value + 2 is never 0 and the count needs no zero
// case (std::bit_width tests for one on every call).
inline unsigned value_width(uint64_t value) {
  return 63 - static_cast<unsigned>(__builtin_clzll(value + 2));
}

inline uint32_t value_bits(uint64_t value) { return 2 * value_width(value); }

// A back-reference: the value 256 + distance, then the value length - 3.
inline uint32_t match_bits(uint32_t length, uint32_t distance) {
  return value_bits(uint64_t{256} + distance) + value_bits(length - 3);
}

// The shortest back-reference copies this many bytes.
constexpr uint32_t kMinMatch = 3;

}  // namespace ls11
