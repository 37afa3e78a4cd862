// The best level: a shortest path over the block's positions, computed a
// segment at a time. For each position the binary-tree finder gives,
// nearest first, every match that is longer than the ones before it; since
// a nearer distance never costs more, each length up to the longest is best
// taken at the first distance that reaches it.
//
// Not every length needs its own arrival. A length costs 2n bits by its
// n-range (4 bits for 5 to 8 bytes, 6 for 9 to 16, ...), so within one range
// and one distance a longer copy costs the same as a shorter one. A path
// whose copy stops inside a range, neither at the range's top nor at the
// longest length its distance allows, can move the boundary with the next
// token one byte on without costing more (the next token's suffix is still
// a match, or one literal fewer is needed). So each distance's lengths are
// tried at the first one it owns, at every range top (4, 8, 16, ...), and at
// its longest.
//
// A match of nice_length or more is taken at once and the positions it
// covers are only inserted into the finder: that bounds the work on runs and
// long repeats, where the exact answer would gain a few bits at a cost
// quadratic in the length.
#include "codec/shortest_path_parse.h"

#include <bit>

#include "codec/code_cost.h"
#include "codec/reserve_table.h"

namespace ls11 {

namespace {

// The finder's reach and bounds (see match_finder.h).
constexpr unsigned kWindowBits = kMaxWindowBits;
// Depth 32 comes within 0.22% of the yardstick on every bench corpus file;
// 24 left whole mixed files at 0.32% for a time the bench could not tell
// apart from 32's. A smaller window (1 MiB) cost those files 0.19% more
// and gained no speed that showed.
constexpr uint32_t kMaxDepth = 32;
constexpr uint32_t kNiceLength = 256;

// Positions per shortest-path segment. Prices within a segment stay far
// below 2^32 bits (at most 16 bits a byte), and the segment arrays take
// 20 bytes a position (5 MiB). A match is cut at the segment's end, which
// costs a handful of bits once per segment.
constexpr uint32_t kSegment = uint32_t{1} << 18;

constexpr uint32_t kUnreached = 0xFFFFFFFFu;

// Lengths up to this one all get their arrival. The argument above has one
// gap: when the next token is a copy of 3 bytes, it cannot give up a byte,
// and a shorter copy before it may win. That matters for short copies,
// where a few bits are a large share; past 16 bytes it is not worth the
// updates.
constexpr uint32_t kEveryLength = 16;

struct Path {
  uint32_t* price;  // bits to reach each position of the segment
  Token* arrival;   // the token that reaches it at that price
};

inline void relax(Path& path, uint32_t to, uint32_t cost, Token token) {
  if (cost < path.price[to]) {
    path.price[to] = cost;
    path.arrival[to] = token;
  }
}

// Offers the lengths of (covered, longest] at `distance` from offset k:
// every one up to kEveryLength, then the range tops and the longest.
inline void offer_lengths(Path& path, uint32_t k, uint32_t base, uint32_t covered, uint32_t longest,
                          uint32_t distance) {
  const uint32_t copy_cost = base + value_bits(uint64_t{256} + distance);
  uint32_t length = covered + 1;
  for (; length <= longest && length <= kEveryLength; ++length) {
    relax(path, k + length, copy_cost + value_bits(length - kMinMatch), Token{length, distance});
  }
  if (length > longest) return;
  for (uint32_t top = std::bit_ceil(length); top < longest; top *= 2) {
    relax(path, k + top, copy_cost + value_bits(top - kMinMatch), Token{top, distance});
  }
  relax(path, k + longest, copy_cost + value_bits(longest - kMinMatch), Token{longest, distance});
}

}  // namespace

bool parse_shortest_path(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                         ParseMemory& memory, TokenSink sink, void* context) {
  const uint32_t segment = size < kSegment ? size : kSegment;
  MatchFinder finder;
  if (!match_finder_init(finder, memory.finder, data, size, kWindowBits, kMaxDepth, kNiceLength) ||
      !reserve_table(memory.matches, memory.matches_capacity, size_t{kMaxDepth} + 1)) {
    return false;
  }
  if (!reserve_table(memory.price, memory.price_capacity, size_t{segment} + 1) ||
      !reserve_table(memory.arrival, memory.arrival_capacity, size_t{segment} + 1) ||
      !reserve_table(memory.tokens, memory.tokens_capacity, segment)) {
    return false;
  }
  Path path{memory.price.get(), memory.arrival.get()};
  Match* const matches = memory.matches.get();

  for (uint32_t start = 0; start < size;) {
    const uint32_t n = size - start < segment ? size - start : segment;
    path.price[0] = 0;
    for (uint32_t k = 1; k <= n; ++k) path.price[k] = kUnreached;

    for (uint32_t k = 0; k < n;) {
      const uint32_t base = path.price[k];
      const uint32_t position = start + k;
      relax(path, k + 1, base + literal_bits[data[position]], Token{1, 0});
      const uint32_t found = find_matches(finder, position, matches);
      const uint32_t room = n - k;
      if (found != 0 && matches[found - 1].length >= kNiceLength) {
        const uint32_t distance = matches[found - 1].distance;
        const uint32_t length = matches[found - 1].length < room ? matches[found - 1].length : room;
        relax(path, k + length, base + match_bits(length, distance), Token{length, distance});
        for (uint32_t skip = 1; skip < length; ++skip) skip_position(finder, position + skip);
        k += length;
        continue;
      }
      // Each match is longer than the one before it, so each offers
      // lengths past the last; the room cuts the last one offered.
      uint32_t covered = kMinMatch - 1;
      for (uint32_t i = 0; i < found && covered < room; ++i) {
        const uint32_t longest = matches[i].length < room ? matches[i].length : room;
        offer_lengths(path, k, base, covered, longest, matches[i].distance);
        covered = longest;
      }
      ++k;
    }

    Token* const tokens = memory.tokens.get();
    uint32_t first = n;
    for (uint32_t at = n; at > 0; at -= path.arrival[at].length) tokens[--first] = path.arrival[at];
    if (!sink(context, start, tokens + first, n - first)) return false;
    start += n;
  }
  return true;
}

void make_literal_table(const uint8_t dictionary[256], LiteralTable& table) {
  uint8_t code[256];
  for (int b = 0; b < 256; ++b) table.present[b] = false;
  for (int v = 255; v >= 0; --v) {
    const uint8_t b = dictionary[v];
    code[b] = static_cast<uint8_t>(v);
    table.present[b] = true;
  }
  for (int b = 0; b < 256; ++b) {
    table.bits[b] = table.present[b] ? value_bits(code[b]) : 0;
    table.pattern[b] = table.present[b] ? value_pattern(code[b]) : 0;
  }
}

bool parse_block(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                 ls11_level level, bool measuring, ParseMemory& memory, TokenSink sink,
                 void* context) {
  if (level == LS11_LEVEL_BEST) {
    return parse_shortest_path(data, size, literal_bits, memory, sink, context);
  }
  return parse_lazy(data, size, literal_bits, measuring, memory, sink, context);
}

}  // namespace ls11
