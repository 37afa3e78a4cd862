// The fast level: lazy matching over a small hash table.
//
// Each bucket of the table holds the newest few positions whose next four
// bytes share a hash, and a second table the newest position per 3-byte
// hash; a search tries only those, nearest first, so it costs a cache line
// and a few compares. At each position the match that saves the
// most bits over writing its bytes as literals is compared with the best one
// a position later; when the later one saves more, one literal is written
// and the comparison moves on. Positions inside a long match are not
// inserted, except its last few: a repeat of a repeat is found at its
// first copy.
#include <bit>

#include "codec/bytes.h"
#include "codec/code_cost.h"
#include "codec/shortest_path_parse.h"
#include "codec/reserve_table.h"

namespace ls11 {

namespace {

constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
// A bucket is one word that says which slot the next position takes, then
// kWays slots used as a ring: an insert writes two words, and a search reads
// the ring backwards from the newest.
constexpr unsigned kWays = 7;
constexpr unsigned kBucketWords = kWays + 1;
constexpr unsigned kMinBucketBits = 8;
constexpr unsigned kMaxBucketBits = 14;
// A match this long is taken without looking a position further.
constexpr uint32_t kNiceLength = 32;
// Of a match longer than this, only the last kInsertedTail positions go
// into the table.
constexpr uint32_t kInsertedTail = 16;
// Literal prices are summed exactly over this many bytes of a match; past
// them a byte counts kTailBits, enough to rank long matches by length.
constexpr uint32_t kPricedBytes = 32;
constexpr int64_t kTailBits = 4;
// Tokens gathered before they go to the sink.
constexpr uint32_t kTokenBatch = uint32_t{1} << 14;

struct Table {
  const uint8_t* data;
  uint32_t size;
  unsigned shift;
  uint32_t* buckets;
  uint32_t* near3;  // newest position per 3-byte hash
};

inline uint32_t& near3_of(const Table& t, uint32_t position) {
  return t.near3[(load24(t.data + position) * 2246822519u) >> t.shift];
}

inline uint32_t* bucket_of(const Table& t, uint32_t position) {
  return t.buckets + size_t{(load32(t.data + position) * 2654435761u) >> t.shift} * kBucketWords;
}

inline void insert(uint32_t* bucket, uint32_t position) {
  const uint32_t slot = bucket[0];
  bucket[1 + slot] = position;
  bucket[0] = slot + 1 == kWays ? 0 : slot + 1;
}

inline void insert_position(const Table& t, uint32_t position) {
  insert(bucket_of(t, position), position);
  near3_of(t, position) = position;
}

struct Choice {
  Token token;     // {1, 0} when no match saves anything
  int64_t saving;  // bits saved over literals
};

// The best match at `position`, which it then inserts. Needs four bytes.
// Candidates come nearest first, so one can only save more than the best so
// far by being longer: the byte just past the best length is checked first.
Choice search(const Table& t, const uint32_t literal_bits[256], uint32_t position) {
  const uint8_t* const here = t.data + position;
  uint32_t* const bucket = bucket_of(t, position);
  uint32_t& near = near3_of(t, position);
  const uint32_t limit = t.size - position;
  Choice best{Token{1, 0}, 0};
  uint32_t best_length = kMinMatch - 1;
  // Literal prices of the first bytes, summed as far as a candidate needs.
  int64_t priced[kPricedBytes + 1];
  priced[0] = 0;
  uint32_t priced_count = 0;
  uint32_t slot = bucket[0];
  for (unsigned w = 0; w <= kWays && best_length < limit; ++w) {
    if (w != 0) slot = slot == 0 ? kWays - 1 : slot - 1;
    const uint32_t candidate = w == 0 ? near : bucket[1 + slot];
    if (candidate == kNoPosition) {
      if (w == 0) continue;
      break;
    }
    const uint8_t* const there = t.data + candidate;
    if (there[best_length] != here[best_length] || load24(there) != load24(here)) continue;
    const uint32_t length = common_length(there, here, kMinMatch, limit);
    if (length <= best_length) continue;
    best_length = length;
    const uint32_t exact = length < kPricedBytes ? length : kPricedBytes;
    for (; priced_count < exact; ++priced_count) {
      priced[priced_count + 1] = priced[priced_count] + literal_bits[here[priced_count]];
    }
    const uint32_t distance = position - candidate;
    const int64_t saving = priced[exact] + kTailBits * (length - exact) - match_bits(length, distance);
    if (saving > best.saving) best = Choice{Token{length, distance}, saving};
  }
  near = position;
  insert(bucket, position);
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

unsigned bucket_bits_for(uint32_t size) {
  const unsigned bits = static_cast<unsigned>(std::bit_width(size / kWays));
  return bits < kMinBucketBits ? kMinBucketBits : bits > kMaxBucketBits ? kMaxBucketBits : bits;
}

}  // namespace

bool parse_lazy(const uint8_t* data, uint32_t size, const uint32_t literal_bits[256],
                ParseMemory& memory, TokenSink sink, void* context) {
  const unsigned bits = bucket_bits_for(size);
  const size_t buckets = size_t{1} << bits;
  const size_t slots = buckets * (kBucketWords + 1);
  if (!reserve_table(memory.heads, memory.heads_capacity, slots) ||
      !reserve_table(memory.tokens, memory.tokens_capacity, kTokenBatch)) {
    return false;
  }
  for (size_t i = 0; i < slots; ++i) memory.heads[i] = kNoPosition;
  for (size_t i = 0; i < buckets; ++i) memory.heads[i * kBucketWords] = 0;
  const Table table{data, size, 32 - bits, memory.heads.get(),
                    memory.heads.get() + buckets * kBucketWords};
  Output out{memory.tokens.get(), 0, 0, sink, context};
  // Positions from `searchable` on have fewer than four bytes left.
  const uint32_t searchable = size >= 4 ? size - 3 : 0;

  uint32_t position = 0;
  Choice here{Token{1, 0}, 0};
  if (position < searchable) here = search(table, literal_bits, position);
  while (position < size) {
    if (here.saving > 0 && here.token.length < kNiceLength && position + 1 < searchable) {
      const Choice next = search(table, literal_bits, position + 1);
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
    here = position < searchable ? search(table, literal_bits, position) : Choice{Token{1, 0}, 0};
  }
  return out.count == 0 || sink(context, out.batch_start, out.tokens, out.count);
}

}  // namespace ls11
