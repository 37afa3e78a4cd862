// ls11_bench_prepare CORPUS_DIR: packs the gathered corpus into the LS11
// archives the benchmark decodes (best level, one archive per kind and
// split), checks that they decode back to the corpus, and writes the size
// table and the encoder's speed to CORPUS_DIR/sizes.tsv.
#include <chrono>
#include <cstdio>
#include <string>

#include "codec/decode_block.h"
#include "codecs.h"
#include "corpus.h"
#include "ls11_pack.h"

using namespace ls11;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

size_t packed_bytes(const Archive& archive) {
  size_t total = 0;
  for (const Bytes& b : archive.packed) total += b.size();
  return total;
}

// The archive must give back every block, through the fast decoder as the
// tool runs it and through the reference decoder.
bool round_trips(const Archive& archive, const std::vector<Bytes>& blocks) {
  std::vector<Bytes> restored;
  if (!unpack_archive(archive, restored) || restored != blocks) return false;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const Bytes& packed = archive.packed[i];
    if (packed.size() == blocks[i].size()) continue;
    Bytes out(blocks[i].size());
    if (!decode_block(packed.data(), static_cast<uint32_t>(packed.size()),
                      archive.dictionary.data(), out.data(), static_cast<uint32_t>(out.size())) ||
        out != blocks[i]) {
      return false;
    }
  }
  return true;
}

bool codec_size(const Codec& codec, const std::vector<Bytes>& blocks, size_t& total) {
  total = 0;
  Bytes packed;
  for (const Bytes& b : blocks) {
    if (!codec.compress(b, codec.level, packed)) return false;
    total += packed.size();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ls11_bench_prepare CORPUS_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::FILE* table = std::fopen((dir + "/sizes.tsv").c_str(), "w");
  if (table == nullptr) {
    std::fprintf(stderr, "ls11_bench_prepare: cannot write %s/sizes.tsv\n", dir.c_str());
    return 1;
  }
  std::fprintf(table,
               "kind\tsplit\tblocks\traw\tls11_best\tls11_fast\tzlib_9\tlibdeflate_12\tlz4\tzstd_3"
               "\tencode_best_s\tencode_fast_s\n");
  const Codec* const others[] = {&kZlib9, &kLibdeflate12, &kLz4, &kZstd3};
  for (const char* kind : kKinds) {
    std::vector<Bytes> files;
    if (!load_kind(dir, kind, files)) {
      std::fprintf(stderr, "ls11_bench_prepare: no files in %s/%s\n", dir.c_str(), kind);
      return 1;
    }
    for (const char* split : kSplits) {
      const std::vector<Bytes> blocks = split_blocks(files, split);
      size_t raw = 0;
      for (const Bytes& b : blocks) raw += b.size();
      Archive best, fast;
      auto start = std::chrono::steady_clock::now();
      pack_archive(blocks, PackLevel::best, 1, best);
      const double best_s = seconds_since(start);
      start = std::chrono::steady_clock::now();
      pack_archive(blocks, PackLevel::fast, 1, fast);
      const double fast_s = seconds_since(start);
      const std::string path = archive_path(dir, kind, split);
      if (!round_trips(best, blocks) || !round_trips(fast, blocks) || !write_archive(path, best)) {
        std::fprintf(stderr, "ls11_bench_prepare: %s does not round-trip\n", path.c_str());
        return 1;
      }
      std::fprintf(table, "%s\t%s\t%zu\t%zu\t%zu\t%zu", kind, split, blocks.size(), raw,
                   packed_bytes(best), packed_bytes(fast));
      for (const Codec* codec : others) {
        size_t total = 0;
        if (!codec_size(*codec, blocks, total)) {
          std::fprintf(stderr, "ls11_bench_prepare: %s -%d failed\n", codec->name, codec->level);
          return 1;
        }
        std::fprintf(table, "\t%zu", total);
      }
      std::fprintf(table, "\t%.3f\t%.3f\n", best_s, fast_s);
      std::fprintf(stderr, "packed %s (%zu blocks, %.1f MB) in %.1f s\n", path.c_str(),
                   blocks.size(), static_cast<double>(raw) / 1e6, best_s);
    }
  }
  return std::fclose(table) == 0 ? 0 : 1;
}
