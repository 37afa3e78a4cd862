#include "corpus.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "container/write_file.h"
#include "support/reference_decoder.h"

using namespace ls11;

const char* const kKinds[3] = {"text", "binary", "mixed"};
const char* const kSplits[2] = {"entries", "files"};

namespace {

constexpr size_t kMinEntry = 4 << 10;
constexpr size_t kMaxEntry = 64 << 10;

Bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t get_be32(const Bytes& in, size_t offset) {
  return uint32_t{in[offset]} << 24 | uint32_t{in[offset + 1]} << 16 |
         uint32_t{in[offset + 2]} << 8 | in[offset + 3];
}

}  // namespace

bool load_kind(const std::string& corpus_dir, const std::string& kind, std::vector<Bytes>& files) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (const auto& item : std::filesystem::directory_iterator(corpus_dir + "/" + kind, ec)) {
    if (item.is_regular_file()) paths.push_back(item.path().string());
  }
  std::sort(paths.begin(), paths.end());
  files.clear();
  for (const std::string& path : paths) files.push_back(read_bytes(path));
  return !files.empty();
}

std::vector<Bytes> split_blocks(const std::vector<Bytes>& files, const std::string& split) {
  if (split == "files") return files;
  Bytes all;
  for (const Bytes& f : files) all.insert(all.end(), f.begin(), f.end());
  std::mt19937 rng(2024);
  std::uniform_int_distribution<size_t> size(kMinEntry, kMaxEntry);
  std::vector<Bytes> blocks;
  for (size_t at = 0; at < all.size();) {
    const size_t n = std::min(size(rng), all.size() - at);
    blocks.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                        all.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  }
  return blocks;
}

std::string archive_path(const std::string& corpus_dir, const std::string& kind,
                         const std::string& split) {
  return corpus_dir + "/" + kind + "-" + split + ".ls11";
}

bool write_archive(const std::string& path, const Archive& archive) {
  std::vector<PackedBlock> blocks;
  for (size_t i = 0; i < archive.packed.size(); ++i) {
    blocks.push_back({archive.packed[i].data(), static_cast<uint32_t>(archive.packed[i].size()),
                      archive.unpacked_sizes[i]});
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = write_file(file_sink(file), 11, archive.dictionary.data(), blocks.data(),
                                  static_cast<uint32_t>(blocks.size())) == LS11_OK;
  return std::fclose(file) == 0 && written;
}

bool read_archive(const std::string& path, Archive& archive) {
  const Bytes file = read_bytes(path);
  if (file.size() < 288 || std::string(file.begin(), file.begin() + 3) != "LS1") return false;
  archive.dictionary.assign(file.begin() + 16, file.begin() + 272);
  const uint32_t count = (get_be32(file, 280) - 276) / 12;
  if (276 + size_t{12} * count > file.size()) return false;
  archive.packed.clear();
  archive.unpacked_sizes.clear();
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = 272 + size_t{12} * i;
    const size_t packed = get_be32(file, entry);
    const size_t offset = get_be32(file, entry + 8);
    if (offset + packed > file.size()) return false;
    archive.packed.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(offset),
                                file.begin() + static_cast<std::ptrdiff_t>(offset + packed));
    archive.unpacked_sizes.push_back(get_be32(file, entry + 4));
  }
  return true;
}

bool unpack_archive(const Archive& archive, std::vector<Bytes>& blocks) {
  blocks.clear();
  for (size_t i = 0; i < archive.packed.size(); ++i) {
    const Bytes& packed = archive.packed[i];
    Bytes block(archive.unpacked_sizes[i]);
    if (packed.size() == block.size()) {
      block = packed;
    } else if (!reference_decode_block(packed.data(), static_cast<uint32_t>(packed.size()),
                                       archive.dictionary.data(), block.data(),
                                       static_cast<uint32_t>(block.size()))) {
      return false;
    }
    blocks.push_back(std::move(block));
  }
  return true;
}
