#include "support/reference_decoder.h"

namespace {

struct Cursor {
  const uint8_t* bytes;
  uint64_t bit_count;
  uint64_t position;  // in bits
};

bool read_bit(Cursor& c, uint32_t& bit) {
  if (c.position >= c.bit_count) return false;
  bit = (c.bytes[c.position / 8] >> (7 - c.position % 8)) & 1u;
  ++c.position;
  return true;
}

// Step 1 counts bits up to and including the first zero; a 32nd bit there
// fails. Step 2 reads n bits as m; the value is 2^n - 2 + m.
bool read_value(Cursor& c, uint32_t& value) {
  uint32_t n = 0;
  uint32_t bit = 1;
  while (bit == 1) {
    if (n == 31) return false;
    if (!read_bit(c, bit)) return false;
    ++n;
  }
  uint64_t m = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (!read_bit(c, bit)) return false;
    m = m << 1 | bit;
  }
  value = static_cast<uint32_t>((uint64_t{1} << n) - 2 + m);
  return true;
}

}  // namespace

bool reference_decode_block(const uint8_t* packed, uint32_t packed_size,
                            const uint8_t dictionary[256], uint8_t* out, uint32_t unpacked_size) {
  Cursor c{packed, uint64_t{packed_size} * 8, 0};
  uint64_t owed = unpacked_size;
  uint64_t written = 0;
  uint64_t distance = 0;  // 0: none pending
  while (owed > 0) {
    uint32_t v;
    if (!read_value(c, v)) return false;
    if (distance != 0) {
      uint64_t length = uint64_t{v} + 3;
      if (length > owed) return false;
      for (uint64_t i = 0; i < length; ++i, ++written) out[written] = out[written - distance];
      owed -= length;
      distance = 0;
    } else if (v < 256) {
      out[written++] = dictionary[v];
      --owed;
    } else if (v == 256) {
      return false;
    } else {
      distance = v - 256;
      if (distance > written) return false;
    }
  }
  return true;
}
