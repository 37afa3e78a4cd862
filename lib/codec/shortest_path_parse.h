// Turning a block into literals and back-references for given literal
// prices. The parse hands its result out a run of tokens at a time, so its
// memory stays bounded however large the block is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/encode_block.h"
#include "codec/match_finder.h"

namespace ls11 {

// One literal (distance 0, length 1) or one back-reference.
struct Token {
  uint32_t length;
  uint32_t distance;
};

// A dictionary seen from the encoder's side: each byte's literal code (the
// code of its first index in the dictionary), as the bits that are written
// and their count. `present[b]` is false for a byte the dictionary does not
// hold.
struct LiteralTable {
  uint32_t pattern[256];  // right-aligned, `bits` long
  uint32_t bits[256];
  bool present[256];
};

void make_literal_table(const uint8_t dictionary[256], LiteralTable& table);

// Working memory of both parses, kept from block to block by whoever packs
// many of them (one per thread): it grows to what the largest block needs
// and is never cleared beyond what a block uses.
struct ParseMemory {
  FinderTables finder;                // the best level's binary trees
  std::unique_ptr<uint32_t[]> heads;  // the fast level's hash heads and chains
  size_t heads_capacity = 0;
  std::unique_ptr<uint32_t[]> price;  // the shortest path's arrays
  std::unique_ptr<Token[]> arrival;
  std::unique_ptr<Token[]> tokens;
  size_t price_capacity = 0;
  size_t arrival_capacity = 0;
  size_t tokens_capacity = 0;
  std::unique_ptr<Match[]> matches;
  size_t matches_capacity = 0;
};

// Receives the tokens covering data[start, start + their total length).
// Returning false stops the parse.
using TokenSink = bool (*)(void* context, uint32_t start, const Token* tokens, uint32_t count);

// `literal_bits[b]` is the price of byte b as a literal. `measuring`: the
// tokens only count literals for a dictionary, and the fast level may
// search less. Returns false when working memory cannot be allocated or
// the sink stopped the parse.
bool parse_block(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                 ls11_level level, bool measuring, ParseMemory& memory, TokenSink sink,
                 void* context);

// The two parses behind parse_block.
bool parse_shortest_path(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                         ParseMemory& memory, TokenSink sink, void* context);
bool parse_lazy(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                bool measuring, ParseMemory& memory, TokenSink sink, void* context);

}  // namespace ls11
