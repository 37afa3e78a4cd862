// ls11_bench [--corpus DIR] [Google Benchmark flags]: decodes the same blocks
// with decode_block, zlib inflate, libdeflate, lz4 and zstd, and copies them
// with memcpy, reporting decoded bytes per second for each. With a corpus
// (see bench/run) every kind and split is measured; without one only
// synthetic blocks are, which is quick enough for CI's smoke run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <random>
#include <string>

#include "codec/decode_block.h"
#include "codecs.h"
#include "corpus.h"
#include "ls11_pack.h"

using namespace ls11;

namespace {

const Codec* const kOthers[] = {&kZlib6, &kLibdeflate6, &kLz4, &kZstd3};
constexpr size_t kOtherCount = sizeof kOthers / sizeof kOthers[0];

// One set of blocks as every codec holds it.
struct BlockSet {
  std::string name;
  Archive ls11;
  std::vector<Bytes> raw;
  std::vector<Bytes> other[kOtherCount];
  size_t total = 0;
  size_t largest = 0;
};

bool decode_ls11(const BlockSet& set, size_t i, uint8_t* out) {
  const Bytes& packed = set.ls11.packed[i];
  const uint32_t size = set.ls11.unpacked_sizes[i];
  if (packed.size() == size) {  // stored: the tool copies it
    std::memcpy(out, packed.data(), size);
    return true;
  }
  return decode_block(packed.data(), static_cast<uint32_t>(packed.size()),
                      set.ls11.dictionary.data(), out, size);
}

// Every codec must give back the raw blocks before its speed means anything.
bool prepare(BlockSet& set) {
  if (!unpack_archive(set.ls11, set.raw)) return false;
  for (const Bytes& b : set.raw) {
    set.total += b.size();
    set.largest = std::max(set.largest, b.size());
  }
  Bytes out(set.largest);
  for (size_t i = 0; i < set.raw.size(); ++i) {
    if (!decode_ls11(set, i, out.data()) ||
        std::memcmp(out.data(), set.raw[i].data(), set.raw[i].size()) != 0) {
      std::fprintf(stderr, "ls11_bench: decode_block differs on %s block %zu\n", set.name.c_str(),
                   i);
      return false;
    }
  }
  for (size_t c = 0; c < kOtherCount; ++c) {
    for (size_t i = 0; i < set.raw.size(); ++i) {
      Bytes packed;
      if (!kOthers[c]->compress(set.raw[i], kOthers[c]->level, packed) ||
          !kOthers[c]->decompress(packed, out.data(), set.raw[i].size()) ||
          std::memcmp(out.data(), set.raw[i].data(), set.raw[i].size()) != 0) {
        std::fprintf(stderr, "ls11_bench: %s fails on %s block %zu\n", kOthers[c]->name,
                     set.name.c_str(), i);
        return false;
      }
      set.other[c].push_back(std::move(packed));
    }
  }
  return true;
}

void finish(benchmark::State& state, const BlockSet& set) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(set.total));
}

void bench_ls11(benchmark::State& state, const BlockSet* set) {
  Bytes out(set->largest);
  for (auto _ : state) {
    for (size_t i = 0; i < set->raw.size(); ++i) {
      if (!decode_ls11(*set, i, out.data())) state.SkipWithError("decode_block failed");
    }
    benchmark::ClobberMemory();
  }
  finish(state, *set);
}

void bench_other(benchmark::State& state, const BlockSet* set, size_t codec) {
  Bytes out(set->largest);
  for (auto _ : state) {
    for (size_t i = 0; i < set->raw.size(); ++i) {
      if (!kOthers[codec]->decompress(set->other[codec][i], out.data(), set->raw[i].size())) {
        state.SkipWithError("decompression failed");
      }
    }
    benchmark::ClobberMemory();
  }
  finish(state, *set);
}

void bench_memcpy(benchmark::State& state, const BlockSet* set) {
  Bytes out(set->largest);
  for (auto _ : state) {
    for (const Bytes& b : set->raw) {
      std::memcpy(out.data(), b.data(), b.size());
      benchmark::ClobberMemory();  // each copy must happen, not just the last
    }
  }
  finish(state, *set);
}

// Text-like filler for runs without a corpus: words from a small vocabulary.
Bytes synthetic_text(size_t size, uint32_t seed) {
  static const char* const words[] = {"the ",   "block ", "decoder ", "of ",     "a ",
                                      "file\n", "entry ", "int ",     "return ", "(size_t) ",
                                      "{\n",    "}\n",    "0x40, ",   "static "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const char* w = words[rng() % (sizeof words / sizeof words[0])];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(size);
  return out;
}

bool add_packed_set(std::deque<BlockSet>& sets, const std::string& name,
                    const std::vector<Bytes>& blocks) {
  BlockSet& set = sets.emplace_back();
  set.name = name;
  return pack_archive(blocks, PackLevel::best, 1, set.ls11);
}

bool load_sets(const std::string& corpus_dir, std::deque<BlockSet>& sets) {
  Bytes chunk;
  if (corpus_dir.empty()) {
    if (!add_packed_set(sets, "entries/synthetic",
                        split_blocks({synthetic_text(1 << 20, 7)}, "entries"))) {
      return false;
    }
    chunk = synthetic_text(8 << 10, 8);
  } else {
    for (const char* split : kSplits) {
      for (const char* kind : kKinds) {
        BlockSet& set = sets.emplace_back();
        set.name = std::string(split) + "/" + kind;
        if (!read_archive(archive_path(corpus_dir, kind, split), set.ls11)) {
          std::fprintf(stderr, "ls11_bench: cannot read %s\n",
                       archive_path(corpus_dir, kind, split).c_str());
          return false;
        }
      }
    }
    // The long-match chunk is real text: the first 8 KiB of the text kind.
    std::vector<Bytes> text;
    if (!load_kind(corpus_dir, "text", text)) return false;
    for (const Bytes& f : text) {
      chunk.insert(chunk.end(), f.begin(), f.end());
      if (chunk.size() >= (8 << 10)) break;
    }
    chunk.resize(8 << 10);
  }
  Bytes repeated;
  for (int i = 0; i < 8; ++i) repeated.insert(repeated.end(), chunk.begin(), chunk.end());
  if (!add_packed_set(sets, "longmatch", {repeated})) return false;
  for (BlockSet& set : sets) {
    if (!prepare(set)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string corpus_dir;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--corpus") == 0 && i + 1 < argc) {
      corpus_dir = argv[++i];
    } else {
      std::fprintf(stderr, "usage: ls11_bench [--corpus DIR] [benchmark flags]\n");
      return 2;
    }
  }
  static std::deque<BlockSet> sets;  // registered benchmarks point into it
  if (!load_sets(corpus_dir, sets)) return 1;
  for (const BlockSet& set : sets) {
    benchmark::RegisterBenchmark(("decode/" + set.name + "/ls11").c_str(), bench_ls11, &set);
    for (size_t c = 0; c < kOtherCount; ++c) {
      benchmark::RegisterBenchmark(("decode/" + set.name + "/" + kOthers[c]->name).c_str(),
                                   bench_other, &set, c);
    }
    benchmark::RegisterBenchmark(("decode/" + set.name + "/memcpy").c_str(), bench_memcpy, &set);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
