// The decoder keeps the next stream bits left-aligned in a 64-bit buffer and
// takes a whole code from it at once: the count of leading one-bits gives n,
// and the top 2n bits X give the value (X >> n) + (X & (2^n - 1)), since the
// prefix "1...10" read as a number is 2^n - 2. Refills load eight bytes at a
// time while eight bytes remain, then byte by byte for the tail.
#include "codec/decode_block.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace {

// Longest prefix a valid value may have: 30 one-bits, then the zero. With
// n <= 31 every value fits in 32 bits (up to 2^32 - 3); a 31st one-bit can
// only come from damaged data.
constexpr unsigned kMaxPrefixOnes = 30;

inline uint64_t load_be64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::little) {
    v = __builtin_bswap64(v);
  }
  return v;
}

// Bit reader state. Invariant: bit 63 of `bitbuf` is the next unread bit;
// `bitsleft` (0..63) of its bits are valid. The bits below them are zero or
// are the stream's own following bits, loaded early by the wide refill, so
// OR-ing the same bytes in again is harmless and counting leading ones past
// `bitsleft` never counts a one the stream does not hold.
struct BitReader {
  const uint8_t* in_next;
  const uint8_t* in_end;
  uint64_t bitbuf;
  unsigned bitsleft;
};

// Brings `bitsleft` to at least 56, or takes every remaining byte.
inline void refill(BitReader& br) {
  if (br.in_end - br.in_next >= 8) {
    br.bitbuf |= load_be64(br.in_next) >> br.bitsleft;
    br.in_next += (63 - br.bitsleft) >> 3;
    br.bitsleft |= 56;
    return;
  }
  while (br.bitsleft <= 55 && br.in_next != br.in_end) {
    br.bitbuf |= uint64_t{*br.in_next++} << (56 - br.bitsleft);
    br.bitsleft += 8;
  }
}

inline uint64_t take_bits(BitReader& br, unsigned count) {
  uint64_t bits = br.bitbuf >> (64 - count);
  br.bitbuf <<= count;
  br.bitsleft -= count;
  return bits;
}

// Reads one value; fails when the code needs bits past the end of the
// packed bytes or has more than kMaxPrefixOnes leading one-bits.
inline bool read_value(BitReader& br, uint32_t& value) {
  refill(br);
  unsigned ones = static_cast<unsigned>(std::countl_one(br.bitbuf));
  if (ones > kMaxPrefixOnes) return false;
  unsigned n = ones + 1;
  if (2 * n <= br.bitsleft) {
    uint64_t code = take_bits(br, 2 * n);
    value = static_cast<uint32_t>((code >> n) + (code & ((uint64_t{1} << n) - 1)));
    return true;
  }
  // Either the stream is nearly exhausted or the code is longer than one
  // refill guarantees (n >= 29): take the prefix and the number separately.
  if (n > br.bitsleft) return false;
  take_bits(br, n);
  refill(br);
  if (n > br.bitsleft) return false;
  value = static_cast<uint32_t>((uint64_t{1} << n) - 2 + take_bits(br, n));
  return true;
}

// Copies `length` bytes from `distance` bytes behind `out`, as a forward
// byte-by-byte copy would: a distance shorter than the length repeats the
// last `distance` bytes.
inline void copy_match(uint8_t* out, size_t distance, size_t length) {
  const uint8_t* src = out - distance;
  if (distance >= length) {
    std::memcpy(out, src, length);
  } else if (distance == 1) {
    std::memset(out, *src, length);
  } else {
    // The bytes from src on repeat with period `distance`; copying whole
    // periods from src keeps each memcpy free of overlap and doubles the
    // chunk every time.
    size_t done = 0;
    size_t chunk = distance;
    while (done < length) {
      size_t n = length - done < chunk ? length - done : chunk;
      std::memcpy(out + done, src, n);
      done += n;
      chunk = done + distance;
    }
  }
}

}  // namespace

bool decode_block(const uint8_t* packed, uint32_t packed_size,
                  const uint8_t dictionary[256], uint8_t* out,
                  uint32_t unpacked_size) {
  BitReader br{packed, packed + packed_size, 0, 0};
  uint8_t* const out_begin = out;
  uint8_t* const out_end = out + unpacked_size;

  while (out != out_end) {
    uint32_t value;
    if (!read_value(br, value)) return false;
    if (value < 256) {
      *out++ = dictionary[value];
      continue;
    }
    if (value == 256) return false;
    size_t distance = value - 256;
    if (distance > static_cast<size_t>(out - out_begin)) return false;
    uint32_t length_value;
    if (!read_value(br, length_value)) return false;
    uint64_t length = uint64_t{length_value} + 3;
    if (length > static_cast<uint64_t>(out_end - out)) return false;
    copy_match(out, distance, static_cast<size_t>(length));
    out += length;
  }
  return true;
}
