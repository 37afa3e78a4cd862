#include "codec/encode_block.h"

#include <cstring>

#include "codec/code_cost.h"
#include "codec/shortest_path_parse.h"

namespace ls11 {

namespace {

// Bits are gathered right-aligned in a 64-bit word and leave it 32 at a
// time, most significant first. Between puts fewer than 32 bits wait, so a
// put of up to 32 bits always fits.
struct BitOut {
  uint8_t* next;
  uint64_t pending;
  unsigned count;
};

struct BlockWriter {
  const uint8_t* data;
  const LiteralTable* literals;
  BitOut out;          // out.next is null when the tokens are only counted
  uint64_t bit_limit;  // the block must end within these many bits
  uint64_t total_bits;
  bool too_large;
  uint64_t literal_counts[256];
};

inline void put_bits(BitOut& out, uint64_t bits, unsigned count) {
  out.pending = out.pending << count | bits;
  out.count += count;
  if (out.count >= 32) {
    out.count -= 32;
    const uint32_t word = static_cast<uint32_t>(out.pending >> out.count);
    out.next[0] = static_cast<uint8_t>(word >> 24);
    out.next[1] = static_cast<uint8_t>(word >> 16);
    out.next[2] = static_cast<uint8_t>(word >> 8);
    out.next[3] = static_cast<uint8_t>(word);
    out.next += 4;
  }
}

// The prefix (n - 1 one-bits and a zero, which read as a number is 2^n - 2)
// and the n bits of value - (2^n - 2); in one put while they fit.
inline void put_value(BitOut& out, uint64_t value) {
  const unsigned n = value_width(value);
  const uint64_t prefix = (uint64_t{1} << n) - 2;
  const uint64_t rest = value - prefix;
  if (n <= 16) {
    put_bits(out, prefix << n | rest, 2 * n);
  } else {
    put_bits(out, prefix, n);
    put_bits(out, rest, n);
  }
}

void finish(BitOut& out) {
  if (out.count == 0) return;
  const unsigned bytes = (out.count + 7) / 8;
  const uint64_t bits = out.pending << (8 * bytes - out.count);
  for (unsigned i = bytes; i-- > 0;) *out.next++ = static_cast<uint8_t>(bits >> (8 * i));
}

// Adds up (and with `kWrite` writes) a run of tokens. The whole block must
// come out smaller than its data, so a token that would pass the limit
// stops it; as nothing past the limit is written, the output never passes
// its room either.
//
// The bit writer is a local copy while the tokens go out: in the writer,
// every put would store and reload it around the output's byte stores,
// which may alias it as far as the compiler knows.
template <bool kWrite>
bool put_tokens(BlockWriter& w, uint32_t start, const Token* tokens, uint32_t count) {
  const LiteralTable& literals = *w.literals;
  const uint8_t* next = w.data + start;
  uint64_t total = w.total_bits;
  BitOut out = w.out;
  for (uint32_t i = 0; i < count; ++i) {
    if (tokens[i].distance == 0) {
      const uint8_t byte = *next++;
      total += literals.bits[byte];
      ++w.literal_counts[byte];
      if (total > w.bit_limit) break;
      if constexpr (kWrite) put_bits(out, literals.pattern[byte], literals.bits[byte]);
    } else {
      const uint64_t distance_value = uint64_t{256} + tokens[i].distance;
      total += match_bits(tokens[i].length, tokens[i].distance);
      if (total > w.bit_limit) break;
      if constexpr (kWrite) {
        put_value(out, distance_value);
        put_value(out, tokens[i].length - kMinMatch);
      }
      next += tokens[i].length;
    }
  }
  w.out = out;
  w.total_bits = total;
  if (total <= w.bit_limit) return true;
  w.too_large = true;
  return false;
}

bool write_tokens(void* context, uint32_t start, const Token* tokens, uint32_t count) {
  BlockWriter& w = *static_cast<BlockWriter*>(context);
  return w.out.next != nullptr ? put_tokens<true>(w, start, tokens, count)
                               : put_tokens<false>(w, start, tokens, count);
}

// A byte the dictionary does not hold cannot be written as a literal, and
// its first occurrence in a block has nothing to refer back to.
bool all_bytes_present(const uint8_t* data, uint32_t size, const LiteralTable& literals) {
  for (int b = 0; b < 256; ++b) {
    if (!literals.present[b] && std::memchr(data, b, size) != nullptr) return false;
  }
  return true;
}

}  // namespace

bool encode_block_counting(const uint8_t* data, uint32_t size, const uint8_t dictionary[256],
                           ls11_level level, ParseMemory& memory, uint8_t* out,
                           uint32_t& packed_size, uint64_t literal_counts[256]) {
  LiteralTable literals;
  make_literal_table(dictionary, literals);
  if (level != LS11_LEVEL_STORE && size != 0 && all_bytes_present(data, size, literals)) {
    BlockWriter w{data, &literals, BitOut{out, 0, 0}, (uint64_t{size} - 1) * 8, 0, false, {}};
    if (parse_block(data, size, literals.bits, level, out == nullptr, memory, write_tokens, &w)) {
      if (out != nullptr) finish(w.out);
      packed_size = static_cast<uint32_t>((w.total_bits + 7) / 8);
      for (int b = 0; b < 256; ++b) literal_counts[b] += w.literal_counts[b];
      return true;
    }
    if (!w.too_large) return false;
  }
  if (size != 0 && out != nullptr) std::memcpy(out, data, size);
  packed_size = size;
  return true;
}

bool encode_block(const uint8_t* data, uint32_t size, const uint8_t dictionary[256],
                  ls11_level level, uint8_t* out, uint32_t& packed_size) {
  uint64_t ignored[256] = {};
  ParseMemory memory;
  return encode_block_counting(data, size, dictionary, level, memory, out, packed_size, ignored);
}

}  // namespace ls11
