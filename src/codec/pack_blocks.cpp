#include "codec/pack_blocks.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Rounds of packing at one level. The second round (the first with literal
// counts to go by) saves about half a percent; a round that saves less than
// 1/1024 of the size is not worth repeating. The best level first settles
// the dictionary with fast rounds, which order the bytes nearly as the best
// parse would at a fraction of its time, and then needs only one or two
// rounds of its own.
constexpr int kFastRounds = 3;
constexpr int kBestRounds = 2;
constexpr uint64_t kWorthwhileFraction = 1024;

// Orders the byte values by `primary` count, then `secondary`, both
// descending, then by value.
void order_by_counts(const uint64_t primary[256], const uint64_t secondary[256],
                     uint8_t dictionary[256]) {
  identity_dictionary(dictionary);
  std::stable_sort(dictionary, dictionary + 256, [&](uint8_t a, uint8_t b) {
    if (primary[a] != primary[b]) return primary[a] > primary[b];
    return secondary[a] > secondary[b];
  });
}

struct Work {
  const BlockView* blocks;
  uint32_t count;
  uint64_t total_size;
  uint64_t byte_counts[256];
  uint8_t* packed;  // the best round so far
  uint32_t* packed_sizes;
  std::unique_ptr<uint8_t[]> trial;  // the round being tried
  std::unique_ptr<uint32_t[]> trial_sizes;
};

// One round: every block packed with `dictionary`. Returns false when
// memory runs out; `total` is the packed size of all blocks.
bool pack_round(const Work& work, EncodeLevel level, const uint8_t dictionary[256],
                uint8_t* packed, uint32_t* packed_sizes, uint64_t literal_counts[256],
                uint64_t& total) {
  std::memset(literal_counts, 0, 256 * sizeof literal_counts[0]);
  total = 0;
  uint8_t* out = packed;
  for (uint32_t i = 0; i < work.count; ++i) {
    const BlockView& block = work.blocks[i];
    if (!encode_block_counting(block.data, block.size, dictionary, level, out, packed_sizes[i],
                               literal_counts)) {
      return false;
    }
    total += packed_sizes[i];
    out += block.size;
  }
  return true;
}

// Packs with `dictionary`, then with the dictionary each round's literals
// suggest, for as long as that pays; leaves the smallest round in
// work.packed and its dictionary in `dictionary`.
bool run_rounds(Work& work, EncodeLevel level, int max_rounds, uint8_t dictionary[256]) {
  uint64_t literal_counts[256];
  uint64_t best_total = 0;
  if (!pack_round(work, level, dictionary, work.packed, work.packed_sizes, literal_counts,
                  best_total)) {
    return false;
  }
  uint8_t candidate[256];
  for (int round = 1; round < max_rounds && best_total != work.total_size; ++round) {
    order_by_counts(literal_counts, work.byte_counts, candidate);
    if (std::memcmp(candidate, dictionary, 256) == 0) break;
    uint64_t total = 0;
    if (!pack_round(work, level, candidate, work.trial.get(), work.trial_sizes.get(),
                    literal_counts, total)) {
      return false;
    }
    if (total >= best_total) break;
    const bool worth_another = best_total - total >= best_total / kWorthwhileFraction;
    best_total = total;
    std::memcpy(dictionary, candidate, 256);
    std::memcpy(work.packed_sizes, work.trial_sizes.get(), size_t{work.count} * sizeof(uint32_t));
    const uint8_t* from = work.trial.get();
    uint8_t* to = work.packed;
    for (uint32_t i = 0; i < work.count; ++i) {
      std::memcpy(to, from, work.packed_sizes[i]);
      from += work.blocks[i].size;
      to += work.blocks[i].size;
    }
    if (!worth_another) break;
  }
  return true;
}

}  // namespace

void identity_dictionary(uint8_t dictionary[256]) {
  for (int v = 0; v < 256; ++v) dictionary[v] = static_cast<uint8_t>(v);
}

bool build_dictionary(const BlockView* blocks, uint32_t count, EncodeLevel level,
                      uint8_t dictionary[256]) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) total += blocks[i].size;
  std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[total]);
  std::unique_ptr<uint32_t[]> packed_sizes(new (std::nothrow) uint32_t[count]);
  return packed && packed_sizes &&
         pack_blocks(blocks, count, level, dictionary, packed.get(), packed_sizes.get());
}

bool pack_blocks(const BlockView* blocks, uint32_t count, EncodeLevel level,
                 uint8_t dictionary[256], uint8_t* packed, uint32_t* packed_sizes) {
  Work work{blocks, count, 0, {}, packed, packed_sizes, nullptr, nullptr};
  for (uint32_t i = 0; i < count; ++i) {
    for (uint32_t j = 0; j < blocks[i].size; ++j) ++work.byte_counts[blocks[i].data[j]];
    work.total_size += blocks[i].size;
  }
  work.trial.reset(new (std::nothrow) uint8_t[work.total_size]);
  work.trial_sizes.reset(new (std::nothrow) uint32_t[count]);
  if (!work.trial || !work.trial_sizes) return false;

  order_by_counts(work.byte_counts, work.byte_counts, dictionary);
  if (!run_rounds(work, ENCODE_FAST, kFastRounds, dictionary)) return false;
  return level == ENCODE_FAST || run_rounds(work, level, kBestRounds, dictionary);
}
