#include "codec/pack_blocks.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <thread>

#include "codec/shortest_path_parse.h"

namespace ls11 {

namespace {

// The first dictionary comes from a fast round over a sample: the first
// eighth of every block (at least 4 KiB of it). Ordering the bytes by the
// literals of that round rather than by plain frequency saves about 0.8%
// at the fast level, and the sample gives nearly all of it at an eighth of
// a round's time. The best level then settles the dictionary with one fast
// round over all blocks (a sample misses the long matches of whole files);
// a second such round changed the best level's size by at most 0.02% on the
// bench corpus for the time of a whole fast round.
constexpr uint32_t kSampleFraction = 8;
constexpr uint32_t kSampleLeast = 4096;
constexpr int kSettlingRounds = 1;

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

// What one thread keeps through the rounds, and what it adds up in one.
struct Worker {
  ParseMemory memory;
  uint64_t literal_counts[256];
  uint64_t total;
  bool failed;
};

struct Work {
  const BlockView* blocks;
  uint32_t count;
  std::unique_ptr<uint64_t[]> offsets;  // of each block's output in `packed`
  std::unique_ptr<uint32_t[]> order;    // block indices, largest first
  uint64_t byte_counts[256];
  uint64_t total_size;
  std::unique_ptr<Worker[]> workers;
  unsigned threads;
};

// The state of one round, shared by its threads.
struct Round {
  const Work* work;
  EncodeLevel level;
  const uint8_t* dictionary;
  uint8_t* packed;
  uint32_t* packed_sizes;
  std::atomic<uint32_t> next;
};

void pack_some(Round& round, Worker& worker) {
  const Work& work = *round.work;
  std::memset(worker.literal_counts, 0, sizeof worker.literal_counts);
  worker.total = 0;
  worker.failed = false;
  for (uint32_t k = round.next.fetch_add(1); k < work.count; k = round.next.fetch_add(1)) {
    const uint32_t i = work.order[k];
    const BlockView& block = work.blocks[i];
    uint8_t* const out = round.packed != nullptr ? round.packed + work.offsets[i] : nullptr;
    if (!encode_block_counting(block.data, block.size, round.dictionary, round.level,
                               worker.memory, out,
                               round.packed_sizes[i], worker.literal_counts)) {
      worker.failed = true;
      return;
    }
    worker.total += round.packed_sizes[i];
  }
}

// Starts a thread for each worker past the first, which the calling thread
// is; a thread the system will not start leaves its share to the others.
// Returns how many were started.
unsigned start_threads(Round& round, std::thread* threads) {
  unsigned started = 0;
  for (unsigned t = 1; t < round.work->threads; ++t) {
    try {
      threads[started] = std::thread(pack_some, std::ref(round), std::ref(round.work->workers[t]));
    } catch (const std::exception&) {
      break;
    }
    ++started;
  }
  return started;
}

// One round: every block packed with `dictionary` (only measured when
// `packed` is null). Returns false when
// memory runs out; `total` is the packed size of all blocks and
// `literal_counts` the literals they wrote.
bool pack_round(const Work& work, EncodeLevel level, const uint8_t dictionary[256],
                uint8_t* packed, uint32_t* packed_sizes, uint64_t literal_counts[256],
                uint64_t& total) {
  Round round{&work, level, dictionary, packed, packed_sizes, {0}};
  std::unique_ptr<std::thread[]> threads(new (std::nothrow) std::thread[work.threads]);
  const unsigned started = threads ? start_threads(round, threads.get()) : 0;
  pack_some(round, work.workers[0]);
  for (unsigned t = 0; t < started; ++t) threads[t].join();

  std::memset(literal_counts, 0, 256 * sizeof literal_counts[0]);
  total = 0;
  bool ok = true;
  for (unsigned t = 0; t <= started; ++t) {
    const Worker& worker = work.workers[t];
    ok = ok && !worker.failed;
    total += worker.total;
    for (int b = 0; b < 256; ++b) literal_counts[b] += worker.literal_counts[b];
  }
  return ok;
}

// Fast rounds over the sample of the blocks in `work`, each ordering
// `dictionary` by the literals it wrote with the one before, `rounds`
// times or until it no longer changes.
bool estimate_dictionary(const Work& work, int rounds, uint32_t* packed_sizes,
                         uint8_t dictionary[256]) {
  uint64_t literal_counts[256];
  uint64_t total = 0;
  uint8_t next[256];
  for (int round = 0; round < rounds; ++round) {
    if (!pack_round(work, ENCODE_FAST, dictionary, nullptr, packed_sizes, literal_counts, total)) {
      return false;
    }
    order_by_counts(literal_counts, work.byte_counts, next);
    if (std::memcmp(next, dictionary, 256) == 0) break;
    std::memcpy(dictionary, next, 256);
  }
  return true;
}

// Threads beyond a few per core add nothing but their tables, which are
// sized by the largest block: a request for thousands is held to that.
unsigned thread_count(unsigned requested, uint32_t blocks) {
  const unsigned cores = std::thread::hardware_concurrency();
  const unsigned most = cores > 2 ? 2 * cores : 4;
  unsigned threads = requested != 0 ? requested : cores;
  if (threads > most) threads = most;
  if (threads > blocks) threads = blocks;
  return threads < 1 ? 1 : threads;
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
         pack_blocks(blocks, count, level, 1, dictionary, packed.get(), packed_sizes.get());
}

bool pack_blocks(const BlockView* blocks, uint32_t count, EncodeLevel level, unsigned threads,
                 uint8_t dictionary[256], uint8_t* packed, uint32_t* packed_sizes) {
  Work work{blocks, count, nullptr, nullptr, {}, 0, nullptr, thread_count(threads, count)};
  work.offsets.reset(new (std::nothrow) uint64_t[count]);
  work.order.reset(new (std::nothrow) uint32_t[count]);
  work.workers.reset(new (std::nothrow) Worker[work.threads]);
  if (!work.offsets || !work.order || !work.workers) return false;
  for (uint32_t i = 0; i < count; ++i) {
    for (uint32_t j = 0; j < blocks[i].size; ++j) ++work.byte_counts[blocks[i].data[j]];
    work.offsets[i] = work.total_size;
    work.total_size += blocks[i].size;
    work.order[i] = i;
  }
  // Largest first, so that no thread is left with a large block at the end.
  std::stable_sort(work.order.get(), work.order.get() + count,
                   [&](uint32_t a, uint32_t b) { return blocks[a].size > blocks[b].size; });

  order_by_counts(work.byte_counts, work.byte_counts, dictionary);
  std::unique_ptr<BlockView[]> sample(new (std::nothrow) BlockView[count]);
  if (!sample) return false;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t n = blocks[i].size / kSampleFraction;
    if (n < kSampleLeast) n = blocks[i].size < kSampleLeast ? blocks[i].size : kSampleLeast;
    sample[i] = BlockView{blocks[i].data, n};
  }
  work.blocks = sample.get();
  if (!estimate_dictionary(work, 1, packed_sizes, dictionary)) return false;
  work.blocks = blocks;
  if (level == ENCODE_BEST && !estimate_dictionary(work, kSettlingRounds, packed_sizes, dictionary)) {
    return false;
  }
  uint64_t literal_counts[256];
  uint64_t total = 0;
  return pack_round(work, level, dictionary, packed, packed_sizes, literal_counts, total);
}

}  // namespace ls11
