// The yardstick the encoder's sizes are measured against: a slow,
// exhaustive packing that only the benchmark builds.
//
// Its finder is a binary tree over the whole block (no window) walked up to
// 4096 nodes deep, so it yields the nearest match of every length; its
// parse is a shortest path over the whole block that offers every length
// from 3 to 4096 at the nearest distance that reaches it (longer matches are
// taken whole). The dictionary starts from the one the best level chose and
// is refined for three rounds, each ordering the bytes by the literals the
// round before wrote; the smallest round counts. It writes no bits: a
// block's size is its path's price in bits, rounded up to bytes, or the
// block's own size when that is not smaller (stored).
#include "yardstick.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "codec/code_cost.h"
#include "codec/pack_blocks.h"

using namespace ls11;

namespace {

constexpr uint32_t kDepth = 4096;
constexpr uint32_t kLongest = 4096;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr int kRounds = 3;

struct Step {
  uint32_t length;    // 1 for a literal
  uint32_t distance;  // 0 for a literal
};

struct Tree {
  const uint8_t* data;
  uint32_t size;
  std::vector<uint32_t> roots;     // per hash of three bytes
  std::vector<uint32_t> children;  // smaller, larger per position
};

// Strings of different bytes may share a root: the walk compares from the
// first byte on.
uint32_t key3(const uint8_t* p) {
  return ((uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]) * 2654435761u) >> 16;
}

uint32_t common(const uint8_t* a, const uint8_t* b, uint32_t from, uint32_t limit) {
  while (from < limit && a[from] == b[from]) ++from;
  return from;
}

// Inserts `pos` and appends its matches (strictly longer, farther) to `out`.
void insert(Tree& t, uint32_t pos, std::vector<Step>* out) {
  const uint32_t left = t.size - pos;
  if (left < 3) return;
  const uint32_t limit = std::min(left, kLongest);
  const uint8_t* here = t.data + pos;
  uint32_t node = t.roots[key3(here)];
  t.roots[key3(here)] = pos;
  uint32_t* smaller = &t.children[2 * size_t{pos}];
  uint32_t* larger = smaller + 1;
  uint32_t smaller_len = 0, larger_len = 0, len = 0, best = 2;
  for (uint32_t depth = 0; node != kNone && depth < kDepth; ++depth) {
    const uint8_t* there = t.data + node;
    len = common(there, here, len, limit);
    if (len > best && out != nullptr) {
      best = len;
      // The whole length at this distance, past kLongest too.
      out->push_back({len == limit ? common(there, here, len, left) : len, pos - node});
    }
    if (len == limit) {
      *smaller = t.children[2 * size_t{node}];
      *larger = t.children[2 * size_t{node} + 1];
      return;
    }
    if (there[len] < here[len]) {
      *smaller = node;
      smaller = &t.children[2 * size_t{node} + 1];
      node = *smaller;
      smaller_len = len;
    } else {
      *larger = node;
      larger = &t.children[2 * size_t{node}];
      node = *larger;
      larger_len = len;
    }
    len = std::min(smaller_len, larger_len);
  }
  *smaller = kNone;
  *larger = kNone;
}

// The block's packed size in bytes; adds its literals to `counts`.
uint64_t pack_one(const uint8_t* data, uint32_t size, const uint32_t bits[256],
                  uint64_t counts[256]) {
  if (size == 0) return 0;
  Tree t{data, size, std::vector<uint32_t>(1u << 16, kNone),
         std::vector<uint32_t>(2 * size_t{size})};
  std::vector<uint64_t> price(size_t{size} + 1, UINT64_MAX);
  std::vector<Step> arrival(size_t{size} + 1);
  std::vector<Step> matches;
  price[0] = 0;
  for (uint32_t k = 0; k < size;) {
    const uint64_t base = price[k];
    if (base + bits[data[k]] < price[k + 1]) {
      price[k + 1] = base + bits[data[k]];
      arrival[k + 1] = {1, 0};
    }
    matches.clear();
    insert(t, k, &matches);
    if (!matches.empty() && matches.back().length >= kLongest) {
      const Step m = matches.back();
      const uint64_t cost = base + match_bits(m.length, m.distance);
      if (cost < price[k + m.length]) {
        price[k + m.length] = cost;
        arrival[k + m.length] = m;
      }
      for (uint32_t j = 1; j < m.length; ++j) insert(t, k + j, nullptr);
      k += m.length;
      continue;
    }
    uint32_t length = kMinMatch;
    for (const Step& m : matches) {
      for (; length <= m.length; ++length) {
        const uint64_t cost = base + match_bits(length, m.distance);
        if (cost < price[k + length]) {
          price[k + length] = cost;
          arrival[k + length] = {length, m.distance};
        }
      }
    }
    ++k;
  }
  const uint64_t bytes = (price[size] + 7) / 8;
  if (bytes >= size) return size;
  for (uint32_t at = size; at > 0; at -= arrival[at].length) {
    if (arrival[at].distance == 0) ++counts[data[at - 1]];
  }
  return bytes;
}

// One round over all blocks on `threads` threads.
uint64_t pack_round(const std::vector<Bytes>& blocks, const uint8_t dictionary[256],
                    unsigned threads, uint64_t counts[256]) {
  uint32_t bits[256];
  for (int v = 255; v >= 0; --v) bits[dictionary[v]] = value_bits(static_cast<uint64_t>(v));
  std::atomic<size_t> next{0};
  std::vector<uint64_t> totals(threads, 0);
  std::vector<std::vector<uint64_t>> thread_counts(threads, std::vector<uint64_t>(256, 0));
  auto work = [&](unsigned t) {
    for (size_t i = next++; i < blocks.size(); i = next++) {
      totals[t] += pack_one(blocks[i].data(), static_cast<uint32_t>(blocks[i].size()), bits,
                            thread_counts[t].data());
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work, t);
  work(0);
  for (std::thread& th : pool) th.join();
  uint64_t total = 0;
  std::memset(counts, 0, 256 * sizeof counts[0]);
  for (unsigned t = 0; t < threads; ++t) {
    total += totals[t];
    for (int b = 0; b < 256; ++b) counts[b] += thread_counts[t][b];
  }
  return total;
}

}  // namespace

bool yardstick_size(const std::vector<Bytes>& blocks, unsigned threads, uint64_t& total) {
  std::vector<BlockView> views;
  size_t raw = 0;
  for (const Bytes& b : blocks) {
    views.push_back({b.data(), static_cast<uint32_t>(b.size())});
    raw += b.size();
  }
  Bytes packed(raw);
  std::vector<uint32_t> packed_sizes(blocks.size());
  uint8_t dictionary[256];
  if (!pack_blocks(views.data(), static_cast<uint32_t>(views.size()), LS11_LEVEL_BEST, threads,
                   dictionary, packed.data(), packed_sizes.data())) {
    return false;
  }
  uint64_t counts[256];
  total = UINT64_MAX;
  for (int round = 0; round < kRounds; ++round) {
    total = std::min(total, pack_round(blocks, dictionary, threads, counts));
    std::stable_sort(dictionary, dictionary + 256,
                     [&](uint8_t a, uint8_t b) { return counts[a] > counts[b]; });
  }
  return true;
}
