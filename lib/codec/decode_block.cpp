// How this decoder is fast.
//
// The next stream bits sit left-aligned in a 64-bit buffer, and a whole code
// is taken from it at once: the count of leading one-bits gives n, and two
// shifts give the value 2^n - 2 + m without a loop.
//
// The buffer is refilled without branches from an unaligned big-endian
// 8-byte load, which brings it to 56..63 valid bits. The load, and the
// address arithmetic before it, is the slow link in the chain from one code
// to the next, so the fast loop refills once per turn and again only when
// the next code does not fit in the bits left. Literals need no such test:
// whether the next code is a literal is read off the buffer with one
// comparison (codes sort as their values do), before the value is taken,
// and a literal costs at most 16 bits, so three fit after a refill.
//
// The fast loop runs while three whole 8-byte loads stay within the packed
// bytes and three output bytes are free, so its literals and refills need no
// bounds checks; a back-reference is still checked against the bytes written
// and the room left. Back-references are copied in 8- or 16-byte chunks,
// which may write up to kCopySlack bytes past the match, while that much room
// is left past it; everything else, and the block's tail, is decoded by the
// careful loop, which never loads a byte past the packed bytes.
//
// The same loop is compiled twice, for plain x86-64 and for processors with
// LZCNT and BMI2 (one-cycle leading-zero counts and flag-free shifts), and
// the variant is picked once at run time, so the binary runs on every
// x86-64.
#include "codec/decode_block.h"

#include <bit>
#include <cstddef>
#include <cstring>
#if defined(__GNUC__) && defined(__x86_64__)
#include <cpuid.h>
#endif

#include "codec/always_inline.h"

namespace ls11 {

namespace {

// Longest prefix a valid value may have: 30 one-bits, then the zero. With
// n <= 31 every value fits in 32 bits (up to 2^32 - 3); a 31st one-bit can
// only come from damaged data.
constexpr unsigned kMaxPrefixOnes = 30;

// After a refill at least 56 bits are valid, so a code of n <= 28 (2n <= 56
// bits) can be taken without looking at the count. Longer codes (lengths or
// distances of 2^28 and more) go to the careful loop.
constexpr unsigned kFastMaxOnes = 27;

// Packed bytes the fast loop needs in hand: a turn refills up to three times
// (at its top, before a distance, before a length), each advancing by at
// most 7 bytes and loading 8.
constexpr ptrdiff_t kFastInputMargin = 24;

// Chunked copies write fewer than this many bytes past the match's end (for
// matches up to this length, exactly this many bytes from its start).
constexpr size_t kCopySlack = 32;

inline uint64_t load_be64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::little) {
    v = __builtin_bswap64(v);
  }
  return v;
}

inline uint64_t load_le64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) {
    v = __builtin_bswap64(v);
  }
  return v;
}

inline void copy8(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 8); }
inline void copy16(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 16); }

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

// Brings `bitsleft` to 56..63 with one load; needs 8 bytes at in_next.
LS11_ALWAYS_INLINE void refill_wide(BitReader& br) {
  br.bitbuf |= load_be64(br.in_next) >> br.bitsleft;
  br.in_next += (63 - br.bitsleft) >> 3;
  br.bitsleft |= 56;
}

// Brings `bitsleft` to at least 56, or takes every remaining byte.
LS11_ALWAYS_INLINE void refill(BitReader& br) {
  if (br.in_end - br.in_next >= 8) {
    refill_wide(br);
    return;
  }
  while (br.bitsleft <= 55 && br.in_next != br.in_end) {
    br.bitbuf |= uint64_t{*br.in_next++} << (56 - br.bitsleft);
    br.bitsleft += 8;
  }
}

// Counts the leading one-bits, 64 for an all-ones buffer. Where the caller
// already knows the buffer is not all ones (a literal is next), the compiler
// drops the test for it and a bare LZCNT remains, one step shorter than
// forcing a zero into the lowest bit.
LS11_ALWAYS_INLINE unsigned leading_ones(const BitReader& br) {
  return static_cast<unsigned>(std::countl_zero(~br.bitbuf));
}

// Whether the next code is a literal, from the buffer alone: codes compare
// as bit strings in the order of their values, so every literal's code, with
// whatever follows it, is below the code of 256 padded with zeros. Needs the
// next 16 bits in the buffer; a literal's code is at most 16 bits long.
LS11_ALWAYS_INLINE bool next_is_literal(const BitReader& br) {
  constexpr uint64_t kCodeOf256 = uint64_t{0xFE02} << 48;
  return br.bitbuf < kCodeOf256;
}

LS11_ALWAYS_INLINE uint64_t take_bits(BitReader& br, unsigned count) {
  uint64_t bits = br.bitbuf >> (64 - count);
  br.bitbuf <<= count;
  br.bitsleft -= count;
  return bits;
}

// Takes a code of n = ones + 1 <= 31 whose 2n bits are known to be in the
// buffer. Shifted past its one-bits, the buffer starts with the prefix's
// zero and then the n bits m; with that zero made a one, those n + 1 bits
// read as a number are 2^n + m, the value plus 2.
LS11_ALWAYS_INLINE uint32_t take_value(BitReader& br, unsigned ones) {
  const uint64_t biased = ((br.bitbuf << ones) | (uint64_t{1} << 63)) >> (62 - ones);
  br.bitbuf <<= 2 * ones + 2;
  br.bitsleft -= 2 * ones + 2;
  return static_cast<uint32_t>(biased) - 2;
}

// Reads one value with every check; fails when the code needs bits past the
// end of the packed bytes or has more than kMaxPrefixOnes leading one-bits.
LS11_ALWAYS_INLINE bool read_value(BitReader& br, uint32_t& value) {
  refill(br);
  const unsigned ones = leading_ones(br);
  if (ones > kMaxPrefixOnes) return false;
  const unsigned n = ones + 1;
  if (2 * n <= br.bitsleft) {
    value = take_value(br, ones);
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

// Copies `length` bytes from `distance` bytes behind `out`, exactly, as a
// forward byte-by-byte copy would: a distance shorter than the length
// repeats the last `distance` bytes.
LS11_ALWAYS_INLINE void copy_match_exact(uint8_t* out, size_t distance, size_t length) {
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

// Copies a match in whole chunks covering at least `span` bytes from `out`
// (span >= length), writing fewer than 16 bytes past the span. The bytes
// past the match are overwritten later or lie beyond the block's end. Each
// chunk reads only bytes written before it.
LS11_ALWAYS_INLINE void copy_match_chunked(uint8_t* out, size_t distance, size_t span) {
  const uint8_t* src = out - distance;
  if (distance >= 16) {
    for (size_t at = 0; at < span; at += 16) copy16(out + at, src + at);
    return;
  }
  if (distance >= 8) {
    for (size_t at = 0; at < span; at += 8) copy8(out + at, src + at);
    return;
  }
  // Distance 1 to 7: spread the last `distance` bytes over a whole word
  // (doubling the filled part each step), store it, then copy words from a
  // multiple of the distance at least 8 back, which holds the same bytes.
  const unsigned shift = static_cast<unsigned>(distance) * 8;
  uint64_t pattern = load_le64(src) & ((uint64_t{1} << shift) - 1);
  for (unsigned filled = shift; filled < 64; filled *= 2) pattern |= pattern << filled;
  if constexpr (std::endian::native == std::endian::big) pattern = __builtin_bswap64(pattern);
  std::memcpy(out, &pattern, 8);  // byte i of the word is the i-th output byte
  // The least multiple of each distance 1..7 that is at least 8.
  static constexpr uint8_t kPatternStep[8] = {0, 8, 8, 9, 8, 10, 12, 14};
  const size_t step = kPatternStep[distance];
  for (size_t at = 8; at < span; at += 8) copy8(out + at, out + at - step);
}

LS11_ALWAYS_INLINE bool decode_block_body(const uint8_t* packed, uint32_t packed_size,
                                          const uint8_t dictionary[256], uint8_t* out,
                                          uint32_t unpacked_size) {
  BitReader br{packed, packed + packed_size, 0, 0};
  uint8_t* const out_begin = out;
  uint8_t* const out_end = out + unpacked_size;
  uint32_t value = 0;
  unsigned ones = 0;
  uint32_t length_value = 0;
  size_t distance = 0;
  uint64_t length = 0;
  size_t room = 0;

  // Fast loop: literals and refills need no bounds checks here.
  while (br.in_end - br.in_next >= kFastInputMargin && out_end - out >= 3) {
    refill_wide(br);
    if (next_is_literal(br)) {
      *out++ = dictionary[take_value(br, leading_ones(br))];
      if (next_is_literal(br)) {
        *out++ = dictionary[take_value(br, leading_ones(br))];
        if (next_is_literal(br)) {
          *out++ = dictionary[take_value(br, leading_ones(br))];
          continue;
        }
      }
    }
    ones = leading_ones(br);
    if (2 * ones + 2 > br.bitsleft) {
      refill_wide(br);
      ones = leading_ones(br);
      if (ones > kFastMaxOnes) break;
    }
    value = take_value(br, ones);
    if (value == 256) goto fail;
    distance = value - 256;
    if (distance > static_cast<size_t>(out - out_begin)) goto fail;
    ones = leading_ones(br);
    if (2 * ones + 2 > br.bitsleft) {
      refill_wide(br);
      ones = leading_ones(br);
    }
    if (ones <= kFastMaxOnes) {
      length_value = take_value(br, ones);
    } else if (!read_value(br, length_value)) {
      goto fail;
    }
    length = uint64_t{length_value} + 3;
    if (length > static_cast<uint64_t>(out_end - out)) goto fail;
    room = static_cast<size_t>(out_end - out);
    // Short matches always write kCopySlack bytes: a loop or a test on the
    // length would be one more branch the processor cannot predict.
    if (length <= kCopySlack && room >= kCopySlack) {
      copy_match_chunked(out, distance, kCopySlack);
    } else if (room - length >= kCopySlack) {
      copy_match_chunked(out, distance, static_cast<size_t>(length));
    } else {
      copy_match_exact(out, distance, static_cast<size_t>(length));
    }
    out += length;
  }

  // Careful loop: the block's tail, and whatever the fast loop left.
  while (out != out_end) {
    if (!read_value(br, value)) goto fail;
    if (value < 256) {
      *out++ = dictionary[value];
      continue;
    }
    if (value == 256) goto fail;
    distance = value - 256;
    if (distance > static_cast<size_t>(out - out_begin)) goto fail;
    if (!read_value(br, length_value)) goto fail;
    length = uint64_t{length_value} + 3;
    if (length > static_cast<uint64_t>(out_end - out)) goto fail;
    copy_match_exact(out, distance, static_cast<size_t>(length));
    out += length;
  }
  return true;

fail:
  return false;
}

bool decode_block_generic(const uint8_t* packed, uint32_t packed_size,
                          const uint8_t dictionary[256], uint8_t* out, uint32_t unpacked_size) {
  return decode_block_body(packed, packed_size, dictionary, out, unpacked_size);
}

#if defined(__GNUC__) && defined(__x86_64__)
#define LS11_HAVE_BMI2_VARIANT 1
__attribute__((target("lzcnt,bmi,bmi2"))) bool decode_block_bmi2(const uint8_t* packed,
                                                                 uint32_t packed_size,
                                                                 const uint8_t dictionary[256],
                                                                 uint8_t* out,
                                                                 uint32_t unpacked_size) {
  return decode_block_body(packed, packed_size, dictionary, out, unpacked_size);
}

// clang does not know "lzcnt" as a __builtin_cpu_supports name, so LZCNT
// is read from CPUID itself (leaf 0x80000001, ECX bit 5).
bool cpu_has_bmi2() {
  __builtin_cpu_init();
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  const bool lzcnt = __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) && (ecx & (1u << 5)) != 0;
  return __builtin_cpu_supports("bmi2") && lzcnt;
}
#endif

}  // namespace

bool decode_block(const uint8_t* packed, uint32_t packed_size, const uint8_t dictionary[256],
                  uint8_t* out, uint32_t unpacked_size) {
#ifdef LS11_HAVE_BMI2_VARIANT
  static const bool use_bmi2 = cpu_has_bmi2();
  if (use_bmi2) return decode_block_bmi2(packed, packed_size, dictionary, out, unpacked_size);
#endif
  return decode_block_generic(packed, packed_size, dictionary, out, unpacked_size);
}

bool decode_block_portable(const uint8_t* packed, uint32_t packed_size,
                           const uint8_t dictionary[256], uint8_t* out, uint32_t unpacked_size) {
  return decode_block_generic(packed, packed_size, dictionary, out, unpacked_size);
}

}  // namespace ls11
