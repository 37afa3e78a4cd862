// encode_block then decode_block must give the data back.
//
// Input: one byte choosing the level (bit 0) and the dictionary (bits 1-2:
// identity, reversed, a permutation keyed by the second byte, or one that
// lacks every byte above 127, so that blocks holding such a byte must come
// out stored), one key byte, then the data. A block that comes out smaller
// must decode, with the fast decoder and with the reference decoder, to the
// data; a block that does not must be the data unchanged.
#include <algorithm>
#include <cstring>
#include <memory>

#include "codec/decode_block.h"
#include "codec/encode_block.h"
#include "fuzz_check.h"
#include "support/reference_decoder.h"

using namespace ls11;

namespace {

constexpr size_t kDataStart = 2;

void make_dictionary(uint8_t kind, uint8_t key, uint8_t dictionary[256]) {
  for (unsigned i = 0; i < 256; ++i) {
    switch (kind) {
      case 0: dictionary[i] = static_cast<uint8_t>(i); break;
      case 1: dictionary[i] = static_cast<uint8_t>(255 - i); break;
      case 2: dictionary[i] = static_cast<uint8_t>(i * 167 + key); break;  // odd factor: a permutation
      default: dictionary[i] = static_cast<uint8_t>(i & 0x7F); break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kDataStart) return 0;
  const ls11_level level = (data[0] & 1) ? LS11_LEVEL_BEST : LS11_LEVEL_FAST;
  const uint8_t kind = static_cast<uint8_t>((data[0] >> 1) & 3);
  uint8_t dictionary[256];
  make_dictionary(kind, data[1], dictionary);
  const uint8_t* block = data + kDataStart;
  const uint32_t block_size = static_cast<uint32_t>(size - kDataStart);

  std::unique_ptr<uint8_t[]> packed(new uint8_t[block_size]);
  uint32_t packed_size = 0;
  fuzz_check(encode_block(block, block_size, dictionary, level, packed.get(), packed_size),
             "encode_block failed on a small block");
  fuzz_check(packed_size <= block_size, "encode_block grew the block");
  const bool byte_missing = kind == 3 && std::any_of(block, block + block_size, [](uint8_t b) { return b > 127; });
  fuzz_check(!byte_missing || packed_size == block_size, "a block compressed with bytes the dictionary lacks");
  if (packed_size == block_size) {
    fuzz_check(std::memcmp(packed.get(), block, block_size) == 0, "a stored block differs from its data");
    return 0;
  }
  // An exact-size copy, so that a read past the packed bytes is caught.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[packed_size]);
  std::memcpy(exact.get(), packed.get(), packed_size);
  std::unique_ptr<uint8_t[]> decoded(new uint8_t[block_size]);
  fuzz_check(decode_block(exact.get(), packed_size, dictionary, decoded.get(), block_size),
             "an encoded block does not decode");
  fuzz_check(std::memcmp(decoded.get(), block, block_size) == 0, "an encoded block decodes to other bytes");
  fuzz_check(reference_decode_block(exact.get(), packed_size, dictionary, decoded.get(), block_size) &&
                 std::memcmp(decoded.get(), block, block_size) == 0,
             "the reference decoder disagrees on an encoded block");
  return 0;
}
