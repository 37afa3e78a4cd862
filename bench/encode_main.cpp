// ls11_bench_encode CORPUS_DIR OUT.tsv [--repetitions N] [--threads N] [--only NAME]
//
// (--only ls11-best,libdeflate-12, say, runs those codecs and levels alone,
// for profiling or a quick comparison.)
// The encoder's speed and sizes: every corpus set (kind and split) packed by
// pack_blocks at the best and the fast level on one thread and on N
// (default: one per core), beside libdeflate -6 and -12 and zlib -6 and -9
// compressing the same blocks one at a time, all in one run. The runs of a
// repetition go round the codecs in turn, so a change in the machine's load
// touches them all alike; the table keeps each one's median time. Every
// LS11 archive is decoded and compared with the blocks, and the archives
// made with different thread counts must be the same bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "codec/decode_block.h"
#include "codecs.h"
#include "corpus.h"
#include "ls11_pack.h"

using namespace ls11;

namespace {

struct Config {
  std::string codec;  // "ls11", "libdeflate", "zlib"
  std::string level;  // "best", "fast", or the other codec's level
  unsigned threads;
  const Codec* other;  // the other codec, or null for ls11
};

struct Result {
  std::vector<double> seconds;
  std::vector<double> cpu_seconds;  // the process's, so all threads' together
  size_t bytes = 0;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double cpu_seconds_since(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

bool decodes_to(const Archive& archive, const std::vector<Bytes>& blocks) {
  for (size_t i = 0; i < blocks.size(); ++i) {
    const Bytes& packed = archive.packed[i];
    if (packed.size() == blocks[i].size()) {
      if (packed != blocks[i]) return false;
      continue;
    }
    Bytes out(blocks[i].size());
    if (!decode_block(packed.data(), static_cast<uint32_t>(packed.size()),
                      archive.dictionary.data(), out.data(), static_cast<uint32_t>(out.size())) ||
        out != blocks[i]) {
      return false;
    }
  }
  return true;
}

bool same_archive(const Archive& a, const Archive& b) {
  return a.dictionary == b.dictionary && a.packed == b.packed;
}

// One timed run of one configuration; false when it fails or its result is
// wrong. `reference` holds the first LS11 archive of each level.
bool run_once(const Config& config, const std::vector<Bytes>& blocks, Result& result,
              Archive* reference) {
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpu_start = std::clock();
  size_t bytes = 0;
  Archive archive;
  if (config.other == nullptr) {
    const PackLevel level = config.level == "best" ? PackLevel::best : PackLevel::fast;
    if (!pack_archive(blocks, level, config.threads, archive)) return false;
  } else {
    Bytes packed;
    for (const Bytes& b : blocks) {
      if (!config.other->compress(b, config.other->level, packed)) return false;
      bytes += packed.size();
    }
  }
  result.seconds.push_back(seconds_since(start));
  result.cpu_seconds.push_back(cpu_seconds_since(cpu_start));
  if (config.other != nullptr) {
    result.bytes = bytes;
    return true;
  }
  for (const Bytes& p : archive.packed) bytes += p.size();
  result.bytes = bytes;
  if (reference->packed.empty()) {
    if (!decodes_to(archive, blocks)) {
      std::fprintf(stderr, "ls11_bench_encode: %s does not decode to its blocks\n",
                   config.level.c_str());
      return false;
    }
    *reference = std::move(archive);
    return true;
  }
  if (!same_archive(archive, *reference)) {
    std::fprintf(stderr, "ls11_bench_encode: %s on %u threads differs from one thread\n",
                 config.level.c_str(), config.threads);
    return false;
  }
  return true;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: ls11_bench_encode CORPUS_DIR OUT.tsv [--repetitions N] [--threads N]\n");
    return 2;
  }
  const std::string dir = argv[1];
  int repetitions = 3;
  unsigned threads = std::thread::hardware_concurrency();
  std::string only;
  for (int i = 3; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--only") == 0) only = argv[i + 1];
    if (std::strcmp(argv[i], "--repetitions") == 0)
      repetitions = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--threads") == 0)
      threads = static_cast<unsigned>(std::max(1, std::atoi(argv[i + 1])));
  }
  std::vector<Config> configs;
  for (const char* level : {"best", "fast"}) {
    configs.push_back({"ls11", level, 1, nullptr});
    if (threads > 1) configs.push_back({"ls11", level, threads, nullptr});
  }
  configs.insert(configs.end(), {{"libdeflate", "12", 1, &kLibdeflate12},
                                 {"libdeflate", "6", 1, &kLibdeflate6},
                                 {"zlib", "9", 1, &kZlib9},
                                 {"zlib", "6", 1, &kZlib6}});
  if (!only.empty()) {
    const std::string listed = "," + only + ",";
    std::erase_if(configs, [&](const Config& c) {
      return listed.find("," + c.codec + "-" + c.level + ",") == std::string::npos;
    });
  }
  std::FILE* table = std::fopen(argv[2], "w");
  if (table == nullptr) {
    std::fprintf(stderr, "ls11_bench_encode: cannot write %s\n", argv[2]);
    return 1;
  }
  std::fprintf(table,
               "kind\tsplit\tblocks\traw\tcodec\tlevel\tthreads\tseconds\tcpu_seconds\tbytes\n");
  for (const char* kind : kKinds) {
    std::vector<Bytes> files;
    if (!load_kind(dir, kind, files)) {
      std::fprintf(stderr, "ls11_bench_encode: no files in %s/%s\n", dir.c_str(), kind);
      return 1;
    }
    for (const char* split : kSplits) {
      const std::vector<Bytes> blocks = split_blocks(files, split);
      size_t raw = 0;
      for (const Bytes& b : blocks) raw += b.size();
      std::vector<Result> results(configs.size());
      Archive best_reference, fast_reference;
      for (int r = 0; r < repetitions; ++r) {
        for (size_t c = 0; c < configs.size(); ++c) {
          Archive* reference = configs[c].level == "best" ? &best_reference : &fast_reference;
          if (!run_once(configs[c], blocks, results[c], reference)) {
            std::fprintf(stderr, "ls11_bench_encode: %s -%s failed on %s/%s\n",
                         configs[c].codec.c_str(), configs[c].level.c_str(), kind, split);
            return 1;
          }
        }
      }
      for (size_t c = 0; c < configs.size(); ++c) {
        std::fprintf(table, "%s\t%s\t%zu\t%zu\t%s\t%s\t%u\t%.4f\t%.4f\t%zu\n", kind, split,
                     blocks.size(), raw, configs[c].codec.c_str(), configs[c].level.c_str(),
                     configs[c].threads, median(results[c].seconds), median(results[c].cpu_seconds),
                     results[c].bytes);
      }
      std::fflush(table);
      std::fprintf(stderr, "encoded %s/%s\n", kind, split);
    }
  }
  return std::fclose(table) == 0 ? 0 : 1;
}
