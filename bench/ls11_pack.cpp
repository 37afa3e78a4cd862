// Stopgap until the project's encoder lands: a greedy hash-chain matcher
// over the test writer's codes. Only the benchmark uses it.
#include "ls11_pack.h"

#include <algorithm>
#include <array>
#include <bit>

#include "support/ls11_writer.h"

namespace {

unsigned code_bits(uint32_t value) {
  return 2 * static_cast<unsigned>(std::bit_width(uint64_t{value} + 2) - 1);
}

void pack_block(const Bytes& data, const std::array<uint8_t, 256>& rank, int chain_depth, Bytes& out) {
  constexpr size_t kHashBits = 15;
  constexpr uint32_t kWindow = 1u << 16;
  std::vector<int32_t> head(size_t{1} << kHashBits, -1);
  std::vector<int32_t> prev(data.size(), -1);
  auto hash = [&](size_t i) {
    const uint32_t x = uint32_t{data[i]} | uint32_t{data[i + 1]} << 8 | uint32_t{data[i + 2]} << 16;
    return (x * 2654435761u) >> (32 - kHashBits);
  };
  auto insert = [&](size_t i) {
    if (i + 3 > data.size()) return;
    const uint32_t h = hash(i);
    prev[i] = head[h];
    head[h] = static_cast<int32_t>(i);
  };
  BitWriter w;
  size_t i = 0;
  while (i < data.size()) {
    size_t best_len = 0, best_dist = 0;
    if (i + 3 <= data.size()) {
      int32_t cand = head[hash(i)];
      for (int depth = 0; cand >= 0 && depth < chain_depth && i - static_cast<size_t>(cand) <= kWindow; ++depth) {
        const size_t c = static_cast<size_t>(cand);
        size_t len = 0;
        while (i + len < data.size() && data[c + len] == data[i + len]) ++len;
        if (len > best_len) {
          best_len = len;
          best_dist = i - c;
        }
        cand = prev[c];
      }
    }
    unsigned literal_cost = 0;
    for (size_t k = 0; k < best_len; ++k) literal_cost += code_bits(rank[data[i + k]]);
    if (best_len >= 3 && code_bits(static_cast<uint32_t>(256 + best_dist)) +
                                 code_bits(static_cast<uint32_t>(best_len - 3)) < literal_cost) {
      put_match(w, static_cast<uint32_t>(best_dist), static_cast<uint32_t>(best_len));
      for (size_t k = 0; k < best_len; ++k) insert(i + k);
      i += best_len;
    } else {
      put_literal(w, rank[data[i]]);
      insert(i);
      ++i;
    }
  }
  out = w.bytes;
}

}  // namespace

bool pack_archive(const std::vector<Bytes>& blocks, PackLevel level, Archive& archive) {
  std::array<uint64_t, 256> counts{};
  for (const Bytes& b : blocks) {
    for (uint8_t byte : b) ++counts[byte];
  }
  std::array<uint8_t, 256> order;
  for (int v = 0; v < 256; ++v) order[static_cast<size_t>(v)] = static_cast<uint8_t>(v);
  std::stable_sort(order.begin(), order.end(), [&](uint8_t a, uint8_t b) { return counts[a] > counts[b]; });
  std::array<uint8_t, 256> rank;
  for (int v = 0; v < 256; ++v) rank[order[static_cast<size_t>(v)]] = static_cast<uint8_t>(v);
  archive.dictionary.assign(order.begin(), order.end());
  archive.packed.clear();
  archive.unpacked_sizes.clear();
  for (const Bytes& b : blocks) {
    Bytes packed;
    pack_block(b, rank, level == PackLevel::best ? 64 : 4, packed);
    if (packed.size() >= b.size()) packed = b;
    archive.packed.push_back(std::move(packed));
    archive.unpacked_sizes.push_back(static_cast<uint32_t>(b.size()));
  }
  return true;
}
