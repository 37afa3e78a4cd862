// ls11_bench_yardstick CORPUS_DIR: the yardstick's packed size of every
// corpus set (kind and split), written to CORPUS_DIR/yardstick.tsv. Slow
// (minutes); bench/run runs it once per corpus.
#include <cstdio>
#include <string>
#include <thread>

#include "corpus.h"
#include "yardstick.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ls11_bench_yardstick CORPUS_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string path = dir + "/yardstick.tsv";
  std::FILE* table = std::fopen((path + ".part").c_str(), "w");
  if (table == nullptr) {
    std::fprintf(stderr, "ls11_bench_yardstick: cannot write %s.part\n", path.c_str());
    return 1;
  }
  std::fprintf(table, "kind\tsplit\traw\tyardstick\n");
  const unsigned threads =
      std::thread::hardware_concurrency() ? std::thread::hardware_concurrency() : 1;
  for (const char* kind : kKinds) {
    std::vector<Bytes> files;
    if (!load_kind(dir, kind, files)) {
      std::fprintf(stderr, "ls11_bench_yardstick: no files in %s/%s\n", dir.c_str(), kind);
      return 1;
    }
    for (const char* split : kSplits) {
      const std::vector<Bytes> blocks = split_blocks(files, split);
      size_t raw = 0;
      for (const Bytes& b : blocks) raw += b.size();
      uint64_t total = 0;
      if (!yardstick_size(blocks, threads, total)) {
        std::fprintf(stderr, "ls11_bench_yardstick: packing %s/%s failed\n", kind, split);
        return 1;
      }
      std::fprintf(table, "%s\t%s\t%zu\t%llu\n", kind, split, raw,
                   static_cast<unsigned long long>(total));
      std::fprintf(stderr, "yardstick %s/%s: %llu bytes\n", kind, split,
                   static_cast<unsigned long long>(total));
    }
  }
  if (std::fclose(table) != 0 || std::rename((path + ".part").c_str(), path.c_str()) != 0) return 1;
  return 0;
}
