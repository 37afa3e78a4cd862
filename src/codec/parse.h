// Turning a block into literals and back-references at the least total cost
// for given literal prices. The parse hands its result out a run of tokens
// at a time, so its memory stays bounded however large the block is.
#pragma once

#include <cstdint>

#include "codec/encode_block.h"

// One literal (distance 0, length 1) or one back-reference.
struct Token {
  uint32_t length;
  uint32_t distance;
};

// A dictionary seen from the encoder's side: the literal code of each byte
// (its first index in the dictionary) and that code's price in bits.
// `present[b]` is false for a byte the dictionary does not hold.
struct LiteralTable {
  uint8_t code[256];
  uint32_t bits[256];
  bool present[256];
};

void make_literal_table(const uint8_t dictionary[256], LiteralTable& table);

// Receives the tokens covering data[start, start + their total length).
// Returning false stops the parse.
using TokenSink = bool (*)(void* context, uint32_t start, const Token* tokens, uint32_t count);

// `literal_bits[b]` is the price of byte b as a literal. Returns false when
// working memory cannot be allocated or the sink stopped the parse.
bool parse_block(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                 EncodeLevel level, TokenSink sink, void* context);
