// ls11_bench_decode_memory PASSES FILE...
//
// Whole files decoded in memory through the C API, as ls11.js's readAll
// does in a browser or Node: open the bytes, decode every entry into one
// new buffer, close. One pass over each file first (for the caches), then
// PASSES timed; prints "FILE<TAB>DECODED_BYTES<TAB>MEDIAN_SECONDS" per file.
// bench/js_decode.mjs prints the same for ls11.js.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "ls11.h"

namespace {

// Decodes the file once into a new buffer, as readAll returns a new array
// (a fresh buffer's first touch is part of what both sides pay); returns
// the decoded size, or 0 when it fails.
size_t decode_all(const std::vector<char>& file) {
  ls11_archive* archive = nullptr;
  if (ls11_open_memory(file.data(), file.size(), &archive) != LS11_OK) return 0;
  const uint32_t count = ls11_entry_count(archive);
  std::vector<ls11_entry> entries(count);
  size_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    ls11_get_entry(archive, i, &entries[i]);
    total += entries[i].unpacked_size;
  }
  std::unique_ptr<unsigned char[]> out(new unsigned char[total]);
  size_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (ls11_read_entry(archive, i, out.get() + at, entries[i].unpacked_size) != LS11_OK) {
      ls11_close(archive);
      return 0;
    }
    at += entries[i].unpacked_size;
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
  for (int f = 2; f < argc; ++f) {
    std::ifstream in(argv[f], std::ios::binary);
    const std::vector<char> file{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
    const size_t decoded = decode_all(file);
    if (decoded == 0) {
      std::fprintf(stderr, "%s: does not decode\n", argv[f]);
      return 1;
    }
    std::vector<double> seconds;
    for (int p = 0; p < passes; ++p) {
      const auto start = std::chrono::steady_clock::now();
      decode_all(file);
      seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%s\t%zu\t%.6f\n", argv[f], decoded, seconds[seconds.size() / 2]);
  }
  return 0;
}
