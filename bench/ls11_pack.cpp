#include "ls11_pack.h"

#include "codec/pack_blocks.h"

using namespace ls11;

bool pack_archive(const std::vector<Bytes>& blocks, PackLevel level, unsigned threads,
                  Archive& archive) {
  const ls11_level encode_level = level == PackLevel::best ? LS11_LEVEL_BEST : LS11_LEVEL_FAST;
  std::vector<BlockView> views;
  size_t total = 0;
  for (const Bytes& b : blocks) {
    views.push_back({b.data(), static_cast<uint32_t>(b.size())});
    total += b.size();
  }
  Bytes packed(total);
  std::vector<uint32_t> packed_sizes(blocks.size());
  if (!pack_blocks(views.data(), static_cast<uint32_t>(views.size()), encode_level, threads,
                   archive.dictionary.data(), packed.data(), packed_sizes.data())) {
    return false;
  }
  archive.packed.clear();
  archive.unpacked_sizes.clear();
  size_t offset = 0;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const auto from = packed.begin() + static_cast<std::ptrdiff_t>(offset);
    archive.packed.emplace_back(from, from + packed_sizes[i]);
    archive.unpacked_sizes.push_back(static_cast<uint32_t>(blocks[i].size()));
    offset += blocks[i].size();
  }
  return true;
}
