// Writes the LS11 files that bench/peak_memory.sh converts: the same largest
// block (4 MiB of output) in files of 1 to 64 blocks, and one file where it
// is joined by many small blocks.
//   peak_memory_files DIR
#include <cstdio>
#include <string>
#include <vector>

#include "support/ls11_writer.h"

namespace {

constexpr uint32_t kBlockSize = uint32_t{1} << 22;

// A compressed block of `size` bytes: a few literals, then runs that repeat
// them, so the file stays small while the output is large.
TestEntry run_block(uint32_t size, uint8_t seed) {
  BitWriter w;
  uint32_t written = 0;
  for (; written < 4 && written < size; ++written)
    put_literal(w, static_cast<uint8_t>(seed + written));
  while (written < size) {
    const uint32_t room = size - written;
    const uint32_t length = room < 3 ? 0 : (room > 65536 ? 65536 : room);
    if (length == 0) {
      put_literal(w, seed);
      ++written;
      continue;
    }
    put_match(w, 4, length);
    written += length;
  }
  return compressed_entry(w, size);
}

bool write(const std::string& path, const std::vector<TestEntry>& entries) {
  if (write_file_bytes(path, build_file(entries))) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: peak_memory_files DIR\n");
    return 1;
  }
  const std::string dir = argv[1];
  bool ok = true;
  for (uint32_t count : {1u, 4u, 16u, 64u}) {
    std::vector<TestEntry> entries;
    for (uint32_t i = 0; i < count; ++i)
      entries.push_back(run_block(kBlockSize, static_cast<uint8_t>(i)));
    ok &= write(dir + "/large_blocks_" + std::to_string(count) + ".ls11", entries);
  }
  std::vector<TestEntry> mixed = {run_block(kBlockSize, 1)};
  for (uint32_t i = 0; i < 100000; ++i) mixed.push_back(run_block(64, static_cast<uint8_t>(i)));
  ok &= write(dir + "/one_large_100000_small.ls11", mixed);
  return ok ? 0 : 1;
}
