#include "ls11_pack.h"

#include "codec/build_dictionary.h"
#include "codec/encode_block.h"

bool pack_archive(const std::vector<Bytes>& blocks, PackLevel level, Archive& archive) {
  const EncodeLevel encode_level = level == PackLevel::best ? ENCODE_BEST : ENCODE_FAST;
  std::vector<BlockView> views;
  for (const Bytes& b : blocks) views.push_back({b.data(), static_cast<uint32_t>(b.size())});
  if (!build_dictionary(views.data(), static_cast<uint32_t>(views.size()), encode_level,
                        archive.dictionary.data())) {
    return false;
  }
  archive.packed.clear();
  archive.unpacked_sizes.clear();
  for (const Bytes& b : blocks) {
    Bytes packed(b.size());
    uint32_t packed_size = 0;
    if (!encode_block(b.data(), static_cast<uint32_t>(b.size()), archive.dictionary.data(), encode_level,
                      packed.data(), packed_size)) {
      return false;
    }
    packed.resize(packed_size);
    archive.packed.push_back(std::move(packed));
    archive.unpacked_sizes.push_back(static_cast<uint32_t>(b.size()));
  }
  return true;
}
