// The fast level: lazy matching over hash chains.
//
// A table holds the newest position per 5-byte hash and a ring links each
// position to the previous one with the same hash, so a search follows only
// positions that can match, nearest first, a few deep; a second table holds
// the newest position per 3-byte hash for the short matches that pay only
// close by. The chains hash five bytes, not four: a copy costs at least 18
// bits, so four bytes rarely pay far back, and chains of five-byte
// neighbours hold fewer candidates that end short.
//
// At each position the match that saves the most bits over writing its
// bytes as literals is compared with the best one a position later; when
// the later one saves more, one literal is written and the comparison moves
// on. The later search only looks for matches at least as long as the one
// in hand, which rejects most candidates at their first byte. Positions
// inside a long match are not inserted, except its last few: a repeat of a
// repeat is found at its first copy.
#include <algorithm>
#include <bit>
#include <new>

#include "codec/always_inline.h"
#include "codec/bytes.h"
#include "codec/code_cost.h"
#include "codec/reserve_table.h"
#include "codec/shortest_path_parse.h"

namespace ls11 {

namespace {

// Table slots hold a position plus one, so that an empty slot (or the end
// of a chain) is 0 and reads back as kNoPosition. Blocks of less than
// 64 KiB keep their slots in 16 bits, which halves the tables the search
// reads.
constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
constexpr uint32_t kMost16BitBlock = 0xFFFF;
constexpr unsigned kMinHashBits = 10;
constexpr unsigned kMaxHashBits = 16;
// The chain ring: matches reach at most this far back through it (the
// heads themselves reach anywhere in the block).
constexpr unsigned kChainWindowBits = 18;
// Chain links followed per search. A round that only orders the dictionary
// by the literals it writes follows fewer: at 4 the best level's sizes on
// the bench corpus moved by at most 0.03%, and its settling round, a
// whole fast round, took a sixth less time.
constexpr unsigned kChainDepth = 16;
constexpr unsigned kMeasuringDepth = 4;
// A match this long is taken without looking further.
constexpr uint32_t kNiceLength = 48;
// Of a match longer than this, only the last kInsertedTail positions go
// into the table.
constexpr uint32_t kInsertedTail = 16;
// Literal prices are summed exactly over this many bytes of a match; past
// them a byte counts kTailBits, enough to rank long matches by length.
constexpr uint32_t kPricedBytes = 32;
constexpr int64_t kTailBits = 4;
// Tokens gathered before they go to the sink.
constexpr uint32_t kTokenBatch = uint32_t{1} << 14;
// Bytes a position needs ahead of it to be hashed into the chains.
constexpr uint32_t kHashedBytes = 5;

// `Slot` is uint16_t for blocks of less than 64 KiB, uint32_t beyond.
template <typename Slot>
struct Table {
  const uint8_t* data;
  uint32_t size;
  unsigned shift;
  uint32_t window_mask;
  Slot* heads;  // newest position per 5-byte hash
  Slot* near3;  // newest position per 3-byte hash
  Slot* chain;  // previous position with the same 5-byte hash
};

// The first three bytes at p, from one load: every position searched has
// kHashedBytes bytes from it on, and candidates lie before it.
inline uint32_t first_three(const uint8_t* p) { return load32(p) & 0xFFFFFFu; }

template <typename Slot>
inline Slot& near3_of(const Table<Slot>& t, uint32_t position) {
  return t.near3[(first_three(t.data + position) * 2246822519u) >> t.shift];
}

template <typename Slot>
inline Slot& head_of(const Table<Slot>& t, uint32_t position) {
  const uint8_t* const p = t.data + position;
  const uint64_t five = uint64_t{load32(p)} | uint64_t{p[4]} << 32;
  return t.heads[(five * 0x9E3779B97F4A7C15u) >> (32 + t.shift)];
}

template <typename Slot>
inline Slot slot_of(uint32_t position) {
  return static_cast<Slot>(position + 1);
}

inline uint32_t position_in(uint32_t slot) { return slot - 1; }

template <typename Slot>
inline void insert_position(const Table<Slot>& t, uint32_t position) {
  Slot& head = head_of(t, position);
  t.chain[position & t.window_mask] = head;
  head = slot_of<Slot>(position);
  near3_of(t, position) = slot_of<Slot>(position);
}

struct Choice {
  Token token;     // {1, 0} when no match saves anything
  int64_t saving;  // bits saved over literals
};

// The best match at `position` among `nearest` (the 3-byte table's) and
// the chain from `first`, longer than `shortest` - 1 bytes, following at
// most `depth` (at least 1) chain links. Candidates come nearest first, so one can only
// save more than the best so far by being longer: the byte just past the
// best length is checked first.
template <typename Slot>
LS11_ALWAYS_INLINE Choice search_candidates(const Table<Slot>& t, const uint32_t literal_bits[256],
                                            uint32_t position, uint32_t nearest, uint32_t first,
                                            unsigned depth, uint32_t shortest) {
  const uint8_t* const here = t.data + position;
  const uint32_t here_three = first_three(here);
  const uint32_t limit = t.size - position;
  Choice best{Token{1, 0}, 0};
  uint32_t best_length = (shortest > kMinMatch ? shortest : kMinMatch) - 1;
  // Literal prices of the first bytes, summed as far as a candidate needs.
  // Lengths only grow, so one running sum serves every candidate.
  int64_t priced = 0;
  uint32_t priced_count = 0;
  auto consider = [&](uint32_t candidate) {
    const uint8_t* const there = t.data + candidate;
    if (there[best_length] != here[best_length] || first_three(there) != here_three) return;
    const uint32_t length = common_length(there, here, kMinMatch, limit);
    if (length <= best_length) return;
    best_length = length;
    const uint32_t exact = length < kPricedBytes ? length : kPricedBytes;
    for (; priced_count < exact; ++priced_count) priced += literal_bits[here[priced_count]];
    const uint32_t distance = position - candidate;
    const int64_t saving = priced + kTailBits * (length - exact) - match_bits(length, distance);
    if (saving > best.saving) best = Choice{Token{length, distance}, saving};
  };
  if (nearest != kNoPosition && best_length < limit) consider(nearest);
  if (first == kNoPosition) return best;
  uint32_t candidate = first;
  const uint32_t enough = limit < kNiceLength ? limit : kNiceLength;
  // `consider` raises best_length through its reference, which the check
  // for endless loops does not follow.
  while (best_length < enough) {  // NOLINT(bugprone-infinite-loop)
    consider(candidate);
    if (--depth == 0) break;
    const uint32_t previous = position_in(t.chain[candidate & t.window_mask]);
    // A link older than the ring was overwritten: the chain ends there. A
    // block in 16-bit slots fits its ring whole.
    if (previous == kNoPosition || (sizeof(Slot) > 2 && position - previous > t.window_mask)) break;
    candidate = previous;
  }
  return best;
}

// search_candidates at `position`, which it then inserts. A position with
// no chain and no 3-byte neighbour, as most literals are, costs only its
// table slots. Needs kHashedBytes bytes. Both are inlined into the parse's
// loop, by force: a call per search cost a twentieth of a fast pack's
// instructions, and GCC 12 kept this one out of line when merely asked.
template <typename Slot>
LS11_ALWAYS_INLINE Choice search(const Table<Slot>& t, const uint32_t literal_bits[256],
                                 uint32_t position, unsigned depth, uint32_t shortest) {
  Slot& head = head_of(t, position);
  Slot& near = near3_of(t, position);
  // The next position's table slots, loaded while this one searches.
  if (position + 1 + kHashedBytes <= t.size) {
    __builtin_prefetch(&head_of(t, position + 1), 1);
    __builtin_prefetch(&near3_of(t, position + 1), 1);
  }
  const uint32_t first = position_in(head);
  const uint32_t nearest = position_in(near);
  Choice best{Token{1, 0}, 0};
  if (first != kNoPosition ||
      (nearest != kNoPosition && first_three(t.data + nearest) == first_three(t.data + position))) {
    best = search_candidates(t, literal_bits, position, nearest, first, depth, shortest);
  }
  near = slot_of<Slot>(position);
  t.chain[position & t.window_mask] = head;
  head = slot_of<Slot>(position);
  return best;
}

struct Output {
  Token* tokens;
  uint32_t count;
  uint32_t batch_start;
  TokenSink sink;
  void* context;
};

inline bool emit(Output& out, Token token, uint32_t end) {
  out.tokens[out.count++] = token;
  if (out.count < kTokenBatch) return true;
  const bool go_on = out.sink(out.context, out.batch_start, out.tokens, out.count);
  out.batch_start = end;
  out.count = 0;
  return go_on;
}

unsigned bits_for(uint32_t size, unsigned least, unsigned most) {
  const unsigned bits = static_cast<unsigned>(std::bit_width(size));
  return bits < least ? least : bits > most ? most : bits;
}

// The parse over tables of `Slot` positions laid out in `slots`.
template <typename Slot>
bool parse_with(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                unsigned chain_depth, unsigned hash_bits, unsigned window_bits, Slot* slots,
                Token* tokens, TokenSink sink, void* context) {
  const size_t hashes = size_t{1} << hash_bits;
  // Chain links are written when their position is inserted, before any
  // search can reach them; only the heads start empty.
  std::fill_n(slots, 2 * hashes, Slot{0});
  const Table<Slot> table{
      data,  size,           32 - hash_bits,    (uint32_t{1} << window_bits) - 1,
      slots, slots + hashes, slots + 2 * hashes};
  Output out{tokens, 0, 0, sink, context};
  // Positions from `searchable` on cannot be hashed.
  const uint32_t searchable = size >= kHashedBytes ? size - kHashedBytes + 1 : 0;

  // Nothing lies before the first position: it only takes its slots.
  uint32_t position = 0;
  Choice here{Token{1, 0}, 0};
  if (position < searchable) insert_position(table, position);
  while (position < size) {
    if (here.saving > 0 && here.token.length < kNiceLength && position + 1 < searchable) {
      const Choice next = search(table, literal_bits, position + 1, chain_depth, here.token.length);
      if (next.saving > here.saving) {
        // A literal now and the better match from the next position.
        if (!emit(out, Token{1, 0}, position + 1)) return false;
        ++position;
        here = next;
        continue;
      }
      // Position + 1 is inserted already.
      const uint32_t end = position + here.token.length;
      if (!emit(out, here.token, end)) return false;
      for (uint32_t p = position + 2; p < end && p < searchable; ++p) insert_position(table, p);
      position = end;
    } else if (here.saving > 0) {
      const uint32_t end = position + here.token.length;
      if (!emit(out, here.token, end)) return false;
      const uint32_t length = here.token.length;
      uint32_t p = length > kNiceLength ? end - kInsertedTail : position + 1;
      for (; p < end && p < searchable; ++p) insert_position(table, p);
      position = end;
    } else {
      if (!emit(out, Token{1, 0}, position + 1)) return false;
      ++position;
    }
    here = position < searchable ? search(table, literal_bits, position, chain_depth, kMinMatch)
                                 : Choice{Token{1, 0}, 0};
  }
  return out.count == 0 || sink(context, out.batch_start, out.tokens, out.count);
}

}  // namespace

bool parse_lazy(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                bool measuring, ParseMemory& memory, TokenSink sink, void* context) {
  const unsigned chain_depth = measuring ? kMeasuringDepth : kChainDepth;
  // A quarter to a half as many heads as positions keeps chains short
  // without clearing a table much larger than the block.
  const unsigned hash_bits = bits_for(size / 4, kMinHashBits, kMaxHashBits);
  const bool narrow = size <= kMost16BitBlock;
  const unsigned window_bits = bits_for(size, kMinHashBits, narrow ? 16 : kChainWindowBits);
  const size_t slots = (size_t{2} << hash_bits) + (size_t{1} << window_bits);
  // Narrow slots take half as many of the table's 32-bit elements.
  const size_t elements = narrow ? (slots + 1) / 2 : slots;
  if (!reserve_table(memory.heads, memory.heads_capacity, elements) ||
      !reserve_table(memory.tokens, memory.tokens_capacity, kTokenBatch)) {
    return false;
  }
  // The placement news only start the lifetime of the slots' type in the
  // table's storage; they do not allocate.
  void* const storage = memory.heads.get();
  return narrow ? parse_with(data, size, literal_bits, chain_depth, hash_bits, window_bits,
                             new (storage) uint16_t[slots], memory.tokens.get(), sink, context)
                : parse_with(data, size, literal_bits, chain_depth, hash_bits, window_bits,
                             new (storage) uint32_t[slots], memory.tokens.get(), sink, context);
}

}  // namespace ls11
