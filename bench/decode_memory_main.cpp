// ls11_bench_decode_memory PASSES FILE...
//
// Whole files decoded in memory through the C API, as ls11.js's readAll
// does in a browser or Node: open the bytes, decode every entry into one
// buffer, close. One pass over each file first (for the caches), then
// PASSES timed; prints "FILE<TAB>DECODED_BYTES<TAB>MEDIAN_SECONDS" per file.
// bench/js_decode.mjs prints the same for ls11.js.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "ls11.h"

namespace {

// Decodes the file once; returns its decoded size, or 0 when it fails.
size_t decode_all(const std::vector<char>& file, std::vector<unsigned char>& out) {
  ls11_archive* archive = nullptr;
  if (ls11_open_memory(file.data(), file.size(), &archive) != LS11_OK) return 0;
  size_t at = 0;
  ls11_entry entry;
  for (uint32_t i = 0; i < ls11_entry_count(archive); ++i) {
    ls11_get_entry(archive, i, &entry);
    if (out.size() < at + entry.unpacked_size) out.resize(at + entry.unpacked_size);
    if (ls11_read_entry(archive, i, out.data() + at, entry.unpacked_size) != LS11_OK) {
      ls11_close(archive);
      return 0;
    }
    at += entry.unpacked_size;
  }
  ls11_close(archive);
  return at;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: ls11_bench_decode_memory PASSES FILE...\n");
    return 2;
  }
  const int passes = std::atoi(argv[1]);
  std::vector<unsigned char> out;
  for (int f = 2; f < argc; ++f) {
    std::ifstream in(argv[f], std::ios::binary);
    const std::vector<char> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t decoded = decode_all(file, out);
    if (decoded == 0) {
      std::fprintf(stderr, "%s: does not decode\n", argv[f]);
      return 1;
    }
    std::vector<double> seconds;
    for (int p = 0; p < passes; ++p) {
      const auto start = std::chrono::steady_clock::now();
      decode_all(file, out);
      seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%s\t%zu\t%.6f\n", argv[f], decoded, seconds[seconds.size() / 2]);
  }
  return 0;
}
