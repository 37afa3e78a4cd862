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

// The value_bits(value) bits of a value as written: n - 1 one-bits and a
// zero (2^n - 2 read as a number), then the n bits of value - (2^n - 2).
// For values below 2^16 - 2, which every literal's code is.
inline uint32_t value_pattern(uint32_t value) {
  const unsigned n = value_width(value);
  const uint32_t prefix = (uint32_t{1} << n) - 2;
  return prefix << n | (value - prefix);
}

// A back-reference: the value 256 + distance, then the value length - 3.
inline uint32_t match_bits(uint32_t length, uint32_t distance) {
  return value_bits(uint64_t{256} + distance) + value_bits(length - 3);
}

// The shortest back-reference copies this many bytes.
constexpr uint32_t kMinMatch = 3;

}  // namespace ls11
