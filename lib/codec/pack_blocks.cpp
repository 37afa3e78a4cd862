#include "codec/pack_blocks.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#ifdef LS11_SINGLE_THREAD
// A build without threads (WebAssembly): the calling thread is the only
// worker, so no thread is ever started.
struct Thread {
  void join() {}
  static unsigned hardware_concurrency() { return 1; }
};
#else
#include <thread>
using Thread = std::thread;
#endif

#include "codec/shortest_path_parse.h"

namespace ls11 {

namespace {

// The first dictionary comes from a fast round over a sample: the first
// eighth of every block (at least 2 KiB of it). Ordering the bytes by the
// literals of that round rather than by plain frequency saves about 0.8%
// at the fast level, and the sample gives nearly all of it at an eighth of
// a round's time. Taking at least 4 KiB instead changed the fast level's
// size by at most 0.2% on the bench corpus, with a sample of about 15% of
// the bytes of 4-64 KiB entries instead of 13%; a sixteenth instead of an
// eighth cost up to 0.5%. The best level then settles the dictionary with one fast
// round over all blocks (a sample misses the long matches of whole files);
// a second such round changed the best level's size by at most 0.02% on the
// bench corpus for the time of a whole fast round.
constexpr uint32_t kSampleFraction = 8;
constexpr uint32_t kSampleLeast = 2048;
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
  uint64_t byte_counts[256];
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

// The blocks handed on in file order during a round: the order they are
// packed in, which are packed, the first not yet handed on, and whether a
// thread is handing blocks on.
struct InOrder {
  const BlockSink* sink;
  std::unique_ptr<uint32_t[]> order;
  std::unique_ptr<std::atomic<bool>[]> done;
  std::atomic<uint32_t> next{0};
  std::atomic<bool> busy{false};
  std::atomic<bool> refused{false};
};

// The state of one round, shared by its threads: `step` is done for every
// block, the threads taking them in `order` as they come free.
struct Round {
  const Work* work;
  bool (*step)(Round& round, Worker& worker, uint32_t block);
  ls11_level level;
  const uint8_t* dictionary;
  uint8_t* packed;
  uint32_t* packed_sizes;
  const uint32_t* order;
  InOrder* in_order;
  std::atomic<uint32_t> next;
};

// Hands on every packed block from the first not yet handed on, on the
// thread that packed block `i`, unless another thread is at it: that one
// then finds block i done when it looks again, since a thread gives up the
// task only after seeing the next block not done, and looks again after
// giving it up (all sequentially consistent, so one of the two sees the
// other's store).
void hand_on(Round& round, uint32_t i) {
  InOrder& in_order = *round.in_order;
  const uint32_t count = round.work->count;
  in_order.done[i].store(true);
  for (;;) {
    if (in_order.busy.exchange(true)) return;
    uint32_t k = in_order.next.load();
    for (; k < count && in_order.done[k].load() && !in_order.refused.load(); ++k) {
      const uint8_t* bytes = round.packed + round.work->offsets[k];
      if (!in_order.sink->block(in_order.sink->context, k, bytes, round.packed_sizes[k])) {
        in_order.refused.store(true);
      }
      in_order.next.store(k + 1);
    }
    in_order.busy.store(false);
    if (k == count || !in_order.done[k].load() || in_order.refused.load()) return;
  }
}

bool pack_step(Round& round, Worker& worker, uint32_t i) {
  const BlockView& block = round.work->blocks[i];
  uint8_t* const out = round.packed != nullptr ? round.packed + round.work->offsets[i] : nullptr;
  if (!encode_block_counting(block.data, block.size, round.dictionary, round.level, worker.memory,
                             out, round.packed_sizes[i], worker.literal_counts)) {
    return false;
  }
  worker.total += round.packed_sizes[i];
  return true;
}

// Four tables in turn, so that a run of one byte value does not wait on
// the increment before it.
bool count_step(Round& round, Worker& worker, uint32_t i) {
  const BlockView& block = round.work->blocks[i];
  uint32_t counts[4][256] = {};
  uint32_t j = 0;
  for (; j + 4 <= block.size; j += 4) {
    ++counts[0][block.data[j]];
    ++counts[1][block.data[j + 1]];
    ++counts[2][block.data[j + 2]];
    ++counts[3][block.data[j + 3]];
  }
  for (; j < block.size; ++j) ++counts[0][block.data[j]];
  for (int b = 0; b < 256; ++b) {
    worker.byte_counts[b] += uint64_t{counts[0][b]} + counts[1][b] + counts[2][b] + counts[3][b];
  }
  return true;
}

void run_steps(void* context, unsigned worker_index) {
  Round& round = *static_cast<Round*>(context);
  const Work& work = *round.work;
  Worker& worker = work.workers[worker_index];
  std::memset(worker.literal_counts, 0, sizeof worker.literal_counts);
  std::memset(worker.byte_counts, 0, sizeof worker.byte_counts);
  worker.total = 0;
  worker.failed = false;
  for (uint32_t k = round.next.fetch_add(1); k < work.count; k = round.next.fetch_add(1)) {
    const uint32_t i = round.order[k];
    if (!round.step(round, worker, i)) {
      worker.failed = true;
      return;
    }
    if (round.in_order == nullptr) continue;
    hand_on(round, i);
    if (round.in_order->refused.load()) {
      worker.failed = true;
      return;
    }
  }
}

// One round: `step` for every block on the work's threads. Returns false
// when memory runs out; `total` is the packed size of all blocks and
// `literal_counts` the literals they wrote, and the bytes a counting round
// counted are added to the work's.
bool run_round(Work& work, bool (*step)(Round&, Worker&, uint32_t), ls11_level level,
               const uint8_t dictionary[256], uint8_t* packed, uint32_t* packed_sizes,
               uint64_t literal_counts[256], uint64_t& total, InOrder* in_order = nullptr) {
  const uint32_t* order = in_order != nullptr ? in_order->order.get() : work.order.get();
  Round round{&work, step, level, dictionary, packed, packed_sizes, order, in_order, {0}};
  const unsigned ran = run_workers(work.threads, run_steps, &round);
  std::memset(literal_counts, 0, 256 * sizeof literal_counts[0]);
  total = 0;
  bool ok = true;
  for (unsigned t = 0; t < ran; ++t) {
    const Worker& worker = work.workers[t];
    ok = ok && !worker.failed;
    total += worker.total;
    for (int b = 0; b < 256; ++b) {
      literal_counts[b] += worker.literal_counts[b];
      work.byte_counts[b] += worker.byte_counts[b];
    }
  }
  return ok;
}

// Every block packed with `dictionary`, or only measured when `packed` is
// null; handed on in file order as they are done when `in_order` is given.
bool pack_round(Work& work, ls11_level level, const uint8_t dictionary[256], uint8_t* packed,
                uint32_t* packed_sizes, uint64_t literal_counts[256], uint64_t& total,
                InOrder* in_order = nullptr) {
  return run_round(work, pack_step, level, dictionary, packed, packed_sizes, literal_counts, total,
                   in_order);
}

// Fast rounds over the sample of the blocks in `work`, each ordering
// `dictionary` by the literals it wrote with the one before, `rounds`
// times or until it no longer changes.
bool estimate_dictionary(Work& work, int rounds, uint32_t* packed_sizes, uint8_t dictionary[256]) {
  uint64_t literal_counts[256];
  uint64_t total = 0;
  uint8_t next[256];
  for (int round = 0; round < rounds; ++round) {
    if (!pack_round(work, LS11_LEVEL_FAST, dictionary, nullptr, packed_sizes, literal_counts,
                    total)) {
      return false;
    }
    order_by_counts(literal_counts, work.byte_counts, next);
    if (std::memcmp(next, dictionary, 256) == 0) break;
    std::memcpy(dictionary, next, 256);
  }
  return true;
}

// The order of a round whose blocks are handed on: file order, so that they
// can go out while later ones are packed, except at both ends, where the
// largest go first as in the other rounds: a block too large to be left to
// the end (more than a sixteenth of a thread's share) starts first, lest
// one thread pack it while the others wait, and the blocks at the end of
// the file adding up to no more than that are packed last, so that the
// threads run out of work together.
void hand_on_order(const Work& work, uint32_t* order) {
  const uint64_t large =
      work.threads > 1 ? work.total_size / (16 * uint64_t{work.threads}) : UINT64_MAX;
  uint32_t tail = work.count;
  for (uint64_t sum = 0; work.threads > 1 && tail > 0 && sum + work.blocks[tail - 1].size <= large;
       --tail) {
    sum += work.blocks[tail - 1].size;
  }
  uint32_t n = 0;
  for (uint32_t k = 0; k < work.count && work.blocks[work.order[k]].size > large; ++k) {
    order[n++] = work.order[k];
  }
  for (uint32_t i = 0; i < work.count && i < tail; ++i) {
    if (work.blocks[i].size <= large) order[n++] = i;
  }
  for (uint32_t k = 0; k < work.count; ++k) {
    if (work.order[k] >= tail) order[n++] = work.order[k];
  }
}

}  // namespace

unsigned packing_threads(unsigned requested, uint32_t jobs) {
  const unsigned cores = Thread::hardware_concurrency();
  const unsigned most = cores > 2 ? 2 * cores : 4;
  unsigned threads = requested != 0 ? requested : cores;
  if (threads > most) threads = most;
  if (threads > jobs) threads = jobs;
  return threads < 1 ? 1 : threads;
}

unsigned run_workers(unsigned threads, void (*job)(void* context, unsigned worker), void* context) {
  std::unique_ptr<Thread[]> started(new (std::nothrow) Thread[threads]);
  unsigned count = 1;
#ifndef LS11_SINGLE_THREAD
  for (; started && count < threads; ++count) {
    try {
      started[count - 1] = Thread(job, context, count);
    } catch (const std::exception&) {
      break;
    }
  }
#endif
  job(context, 0);
  for (unsigned t = 0; t + 1 < count; ++t) started[t].join();
  return count;
}

void identity_dictionary(uint8_t dictionary[256]) {
  for (int v = 0; v < 256; ++v) dictionary[v] = static_cast<uint8_t>(v);
}

bool build_dictionary(const BlockView* blocks, uint32_t count, ls11_level level,
                      uint8_t dictionary[256]) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) total += blocks[i].size;
  std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[total]);
  std::unique_ptr<uint32_t[]> packed_sizes(new (std::nothrow) uint32_t[count]);
  return packed && packed_sizes &&
         pack_blocks(blocks, count, level, 1, dictionary, packed.get(), packed_sizes.get());
}

bool pack_blocks(const BlockView* blocks, uint32_t count, ls11_level level, unsigned threads,
                 uint8_t dictionary[256], uint8_t* packed, uint32_t* packed_sizes,
                 const BlockSink* in_order) {
  if (level == LS11_LEVEL_STORE) {
    identity_dictionary(dictionary);
    for (uint32_t i = 0; i < count; ++i) {
      if (blocks[i].size != 0) std::memcpy(packed, blocks[i].data, blocks[i].size);
      packed_sizes[i] = blocks[i].size;
      if (in_order != nullptr && !in_order->block(in_order->context, i, packed, blocks[i].size)) {
        return false;
      }
      packed += blocks[i].size;
    }
    return true;
  }
  Work work{blocks, count, nullptr, nullptr, {}, 0, nullptr, packing_threads(threads, count)};
  work.offsets.reset(new (std::nothrow) uint64_t[count]);  // GCOVR_EXCL_BR_LINE
  work.order.reset(new (std::nothrow) uint32_t[count]);    // GCOVR_EXCL_BR_LINE
  work.workers.reset(new (std::nothrow) Worker[work.threads]);
  if (!work.offsets || !work.order || !work.workers) return false;
  for (uint32_t i = 0; i < count; ++i) {
    work.offsets[i] = work.total_size;
    work.total_size += blocks[i].size;
    work.order[i] = i;
  }
  // Largest first, so that no thread is left with a large block at the end.
  std::stable_sort(work.order.get(), work.order.get() + count,
                   [&](uint32_t a, uint32_t b) { return blocks[a].size > blocks[b].size; });
  uint64_t literal_counts[256];
  uint64_t total = 0;
  run_round(work, count_step, level, dictionary, nullptr, packed_sizes, literal_counts, total);

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
  if (level == LS11_LEVEL_BEST &&
      !estimate_dictionary(work, kSettlingRounds, packed_sizes, dictionary)) {
    return false;
  }
  if (in_order == nullptr) {
    return pack_round(work, level, dictionary, packed, packed_sizes, literal_counts, total);
  }
  InOrder handing{in_order, nullptr, nullptr};
  handing.order.reset(new (std::nothrow) uint32_t[count]);  // GCOVR_EXCL_BR_LINE
  handing.done.reset(new (std::nothrow) std::atomic<bool>[count]());
  if (!handing.order || !handing.done) return false;
  hand_on_order(work, handing.order.get());
  return pack_round(work, level, dictionary, packed, packed_sizes, literal_counts, total, &handing);
}

}  // namespace ls11
