// Replays fuzz inputs without libFuzzer: every file named on the command
// line, and every file in every directory named there (sorted, hidden files
// skipped), goes through the target's checks once. Fails when a path is
// missing or no input was replayed, so an empty corpus cannot pass unnoticed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "fuzz_check.h"

namespace fs = std::filesystem;

namespace {

bool replay_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  // An exact-size copy, so that a sanitizer build catches any read past it.
  std::unique_ptr<uint8_t[]> input(new uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), input.get());
  LLVMFuzzerTestOneInput(input.get(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    std::vector<fs::path> files;
    if (fs::is_directory(argv[i], error)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[i], error)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
          files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(argv[i]);
    }
    for (const fs::path& file : files) {
      if (!replay_file(file)) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return 1;
      }
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return replayed > 0 ? 0 : 1;
}
