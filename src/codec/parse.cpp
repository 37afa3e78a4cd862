// Two parses over the same match finder.
//
// Best: a shortest path, computed a segment at a time. For each position the
// match finder gives, nearest first, every match that is longer than the
// ones before it; since a nearer distance never costs more, each length from
// 3 up to the longest is best taken at the first distance that reaches it,
// and the arrival price of every position it reaches is lowered when that is
// cheaper. A match of nice_length or more is taken at once and the positions
// it covers are skipped: that bounds the work on runs and long repeats, where
// the exact answer would gain a few bits at a cost quadratic in the length.
//
// Fast: lazy matching. At each position the match with the largest saving
// over literals is compared with the best one a position later; when the
// later one saves more, one literal is written and the comparison moves on.
#include "codec/parse.h"

#include <memory>
#include <new>

#include "codec/code_cost.h"
#include "codec/match_finder.h"

namespace {

struct LevelParams {
  unsigned window_bits;
  uint32_t max_depth;
  uint32_t nice_length;
};

// The fast level keeps its window (and so its chains) to 256 KiB, where a
// chain step mostly stays in cache; the best level reaches the whole 4 MiB
// the finder allows.
constexpr LevelParams kFastParams{18, 8, 32};
constexpr LevelParams kBestParams{kMaxWindowBits, 32, 256};

// Positions per shortest-path segment. Prices within a segment stay far
// below 2^32 bits (at most 16 bits a byte), and the segment arrays take
// 12 bytes a position. A match is cut at the segment's end, which costs a
// handful of bits once per segment.
constexpr uint32_t kSegment = uint32_t{1} << 18;

// Tokens the fast parse gathers before handing them to the sink.
constexpr uint32_t kTokenBatch = uint32_t{1} << 14;

constexpr uint32_t kUnreached = 0xFFFFFFFFu;

template <typename T>
std::unique_ptr<T[]> allocate(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

struct PathArrays {
  std::unique_ptr<uint32_t[]> price;     // bits to reach each position of the segment
  std::unique_ptr<Token[]> arrival;      // the token that reaches it at that price
  std::unique_ptr<Token[]> tokens;       // the path, read back from the segment's end
};

bool parse_best(MatchFinder& finder, const uint32_t literal_bits[256], Match* matches,
                TokenSink sink, void* context) {
  const uint8_t* const data = finder.data;
  const uint32_t size = finder.size;
  const uint32_t segment = size < kSegment ? size : kSegment;
  PathArrays a{allocate<uint32_t>(size_t{segment} + 1), allocate<Token>(size_t{segment} + 1),
               allocate<Token>(segment)};
  if (!a.price || !a.arrival || !a.tokens) return false;

  for (uint32_t start = 0; start < size;) {
    const uint32_t n = size - start < segment ? size - start : segment;
    a.price[0] = 0;
    for (uint32_t k = 1; k <= n; ++k) a.price[k] = kUnreached;

    uint32_t k = 0;
    while (k < n) {
      const uint32_t base = a.price[k];
      const uint32_t position = start + k;
      const uint32_t literal = base + literal_bits[data[position]];
      if (literal < a.price[k + 1]) {
        a.price[k + 1] = literal;
        a.arrival[k + 1] = Token{1, 0};
      }
      const uint32_t found = find_matches(finder, position, n - k, matches);
      if (found != 0 && matches[found - 1].length >= finder.nice_length) {
        const Match m = matches[found - 1];
        const uint32_t cost = base + match_bits(m.length, m.distance);
        if (cost < a.price[k + m.length]) {
          a.price[k + m.length] = cost;
          a.arrival[k + m.length] = Token{m.length, m.distance};
        }
        k += m.length;
        continue;
      }
      uint32_t length = kMinMatch;
      for (uint32_t i = 0; i < found; ++i) {
        const uint32_t distance = matches[i].distance;
        const uint32_t distance_cost = base + value_bits(uint64_t{256} + distance);
        for (; length <= matches[i].length; ++length) {
          const uint32_t cost = distance_cost + value_bits(length - kMinMatch);
          if (cost < a.price[k + length]) {
            a.price[k + length] = cost;
            a.arrival[k + length] = Token{length, distance};
          }
        }
      }
      ++k;
    }

    uint32_t first = n;
    for (uint32_t at = n; at > 0; at -= a.arrival[at].length) a.tokens[--first] = a.arrival[at];
    if (!sink(context, start, a.tokens.get() + first, n - first)) return false;
    start += n;
  }
  return true;
}

// The match at `position` that saves the most bits over writing its bytes
// as literals; saving 0 when none saves anything.
struct Choice {
  Match match;
  int64_t saving;
};

Choice best_saving(MatchFinder& finder, const uint32_t literal_bits[256], Match* matches,
                   uint32_t position) {
  Choice choice{Match{1, 0}, 0};
  const uint32_t found = find_matches(finder, position, finder.size - position, matches);
  const uint8_t* const data = finder.data + position;
  int64_t literal_cost = 0;
  uint32_t covered = 0;
  for (uint32_t i = 0; i < found; ++i) {
    for (; covered < matches[i].length; ++covered) literal_cost += literal_bits[data[covered]];
    const int64_t saving = literal_cost - match_bits(matches[i].length, matches[i].distance);
    if (saving > choice.saving) choice = Choice{matches[i], saving};
  }
  return choice;
}

bool parse_fast(MatchFinder& finder, const uint32_t literal_bits[256], Match* matches,
                TokenSink sink, void* context) {
  std::unique_ptr<Token[]> tokens = allocate<Token>(kTokenBatch);
  if (!tokens) return false;
  const uint32_t size = finder.size;
  uint32_t batch_start = 0;
  uint32_t count = 0;
  uint32_t position = 0;
  Choice here{};
  if (size != 0) here = best_saving(finder, literal_bits, matches, 0);
  while (position < size) {
    Token token{1, 0};
    bool look_again = true;
    if (here.saving > 0) {
      token = Token{here.match.length, here.match.distance};
      if (here.match.length < finder.nice_length && position + 1 < size) {
        const Choice next = best_saving(finder, literal_bits, matches, position + 1);
        if (next.saving > here.saving) {
          // A literal now and the better match from the next position.
          token = Token{1, 0};
          here = next;
          look_again = false;
        }
      }
    }
    tokens[count++] = token;
    position += token.length;
    if (look_again && position < size) here = best_saving(finder, literal_bits, matches, position);
    if (count == kTokenBatch || position >= size) {
      if (!sink(context, batch_start, tokens.get(), count)) return false;
      batch_start = position;
      count = 0;
    }
  }
  return true;
}

}  // namespace

void make_literal_table(const uint8_t dictionary[256], LiteralTable& table) {
  for (int b = 0; b < 256; ++b) table.present[b] = false;
  for (int v = 255; v >= 0; --v) {
    const uint8_t b = dictionary[v];
    table.code[b] = static_cast<uint8_t>(v);
    table.present[b] = true;
  }
  for (int b = 0; b < 256; ++b) table.bits[b] = table.present[b] ? value_bits(table.code[b]) : 0;
}

bool parse_block(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                 EncodeLevel level, TokenSink sink, void* context) {
  const LevelParams params = level == ENCODE_BEST ? kBestParams : kFastParams;
  MatchFinder finder;
  if (!match_finder_init(finder, data, size, params.window_bits, params.max_depth,
                         params.nice_length)) return false;
  std::unique_ptr<Match[]> matches = allocate<Match>(size_t{params.max_depth} + 1);
  if (!matches) return false;
  if (level == ENCODE_BEST) return parse_best(finder, literal_bits, matches.get(), sink, context);
  return parse_fast(finder, literal_bits, matches.get(), sink, context);
}
