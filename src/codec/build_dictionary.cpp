#include "codec/build_dictionary.h"

#include <algorithm>
#include <cstring>

#include "codec/code_cost.h"
#include "codec/parse.h"

namespace {

// Parse-and-reorder rounds after the first ordering. Each round is a full
// parse of every block; the gain after the second is rarely a byte.
constexpr int kRounds = 3;

// Literal counts and the size of one parse of one block.
struct Tally {
  const uint8_t* data;
  const LiteralTable* literals;
  uint64_t literal_counts[256];
  uint64_t bits;
};

bool count_tokens(void* context, uint32_t start, const Token* tokens, uint32_t count) {
  Tally& t = *static_cast<Tally*>(context);
  uint32_t position = start;
  for (uint32_t i = 0; i < count; ++i) {
    if (tokens[i].distance == 0) {
      const uint8_t byte = t.data[position];
      ++t.literal_counts[byte];
      t.bits += t.literals->bits[byte];
    } else {
      t.bits += match_bits(tokens[i].length, tokens[i].distance);
    }
    position += tokens[i].length;
  }
  return true;
}

// Orders the byte values by `primary` count, then `secondary`, then value,
// all descending but the value.
void order_by_counts(const uint64_t primary[256], const uint64_t secondary[256],
                     uint8_t dictionary[256]) {
  identity_dictionary(dictionary);
  std::stable_sort(dictionary, dictionary + 256, [&](uint8_t a, uint8_t b) {
    if (primary[a] != primary[b]) return primary[a] > primary[b];
    return secondary[a] > secondary[b];
  });
}

// Parses every block with `dictionary`, adding up the literals of the blocks
// that come out compressed and the file's packed size in bits (a stored
// block counts its own size).
bool measure(const BlockView* blocks, uint32_t count, EncodeLevel level,
             const uint8_t dictionary[256], uint64_t literal_counts[256], uint64_t& bits) {
  LiteralTable literals;
  make_literal_table(dictionary, literals);
  std::memset(literal_counts, 0, 256 * sizeof literal_counts[0]);
  bits = 0;
  for (uint32_t i = 0; i < count; ++i) {
    Tally tally{blocks[i].data, &literals, {}, 0};
    if (!parse_block(blocks[i].data, blocks[i].size, literals.bits, level, count_tokens, &tally)) {
      return false;
    }
    const uint64_t stored_bits = uint64_t{blocks[i].size} * 8;
    if ((tally.bits + 7) / 8 * 8 >= stored_bits) {
      bits += stored_bits;
      continue;
    }
    bits += (tally.bits + 7) / 8 * 8;
    for (int b = 0; b < 256; ++b) literal_counts[b] += tally.literal_counts[b];
  }
  return true;
}

}  // namespace

void identity_dictionary(uint8_t dictionary[256]) {
  for (int v = 0; v < 256; ++v) dictionary[v] = static_cast<uint8_t>(v);
}

bool build_dictionary(const BlockView* blocks, uint32_t count, EncodeLevel level,
                      uint8_t dictionary[256]) {
  uint64_t byte_counts[256] = {};
  for (uint32_t i = 0; i < count; ++i) {
    for (uint32_t j = 0; j < blocks[i].size; ++j) ++byte_counts[blocks[i].data[j]];
  }
  order_by_counts(byte_counts, byte_counts, dictionary);

  uint64_t best_bits = UINT64_MAX;
  uint8_t candidate[256];
  std::memcpy(candidate, dictionary, 256);
  for (int round = 0; round < kRounds; ++round) {
    uint64_t literal_counts[256];
    uint64_t bits = 0;
    if (!measure(blocks, count, level, candidate, literal_counts, bits)) return false;
    if (bits >= best_bits) break;
    best_bits = bits;
    std::memcpy(dictionary, candidate, 256);
    order_by_counts(literal_counts, byte_counts, candidate);
    if (std::memcmp(candidate, dictionary, 256) == 0) break;
  }
  return true;
}
