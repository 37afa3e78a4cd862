#include "codec/encode_block.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "codec/build_dictionary.h"
#include "codec/decode_block.h"
#include "support/ls11_writer.h"
#include "support/reference_decoder.h"

namespace {

struct Packed {
  Bytes bytes;
  bool stored;
};

Packed encode(const Bytes& data, const Bytes& dictionary, EncodeLevel level) {
  Bytes out(data.size());
  uint32_t packed_size = 0xDEADBEEF;
  EXPECT_TRUE(encode_block(data.data(), static_cast<uint32_t>(data.size()), dictionary.data(), level,
                           out.data(), packed_size));
  EXPECT_LE(packed_size, data.size());
  out.resize(packed_size);
  return Packed{out, packed_size == data.size()};
}

// Encodes at `level` and decodes with both decoders; a stored block must be
// the data itself.
void expect_round_trip(const Bytes& data, const Bytes& dictionary, EncodeLevel level) {
  const Packed packed = encode(data, dictionary, level);
  if (packed.stored) {
    EXPECT_EQ(packed.bytes, data);
    return;
  }
  const uint32_t size = static_cast<uint32_t>(data.size());
  Bytes out(data.size(), 0xEE);
  ASSERT_TRUE(decode_block(packed.bytes.data(), static_cast<uint32_t>(packed.bytes.size()),
                           dictionary.data(), out.data(), size));
  ASSERT_TRUE(out == data);
  if (size <= (1u << 20)) {
    Bytes ref(data.size(), 0xEE);
    ASSERT_TRUE(reference_decode_block(packed.bytes.data(), static_cast<uint32_t>(packed.bytes.size()),
                                       dictionary.data(), ref.data(), size));
    ASSERT_TRUE(ref == data);
  }
}

Bytes dictionary_for(const Bytes& data, EncodeLevel level) {
  Bytes dictionary(256);
  const BlockView view{data.data(), static_cast<uint32_t>(data.size())};
  EXPECT_TRUE(build_dictionary(&view, 1, level, dictionary.data()));
  return dictionary;
}

Bytes text_like(size_t size, uint32_t seed) {
  static const char* const words[] = {"the ", "castle ", "of ", "general ", "army ", "and ",
                                      "rice ", "gold ", "province ", "lord ", "\n", "1582 "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const std::string w = words[rng() % 12];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(size);
  return out;
}

Bytes random_bytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (uint8_t& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

}  // namespace

TEST(EncodeBlock, RoundTripsEveryShape) {
  struct Shape {
    const char* name;
    Bytes data;
  };
  std::vector<Shape> shapes = {
      {"empty", {}},
      {"one byte", {0x42}},
      {"two bytes", {0x00, 0xFF}},
      {"three equal bytes", {7, 7, 7}},
      {"run", Bytes(5000, 0xAA)},
      {"text", text_like(20000, 1)},
      {"incompressible", random_bytes(4096, 2)},
      {"small alphabet", {}},
      {"periodic", {}},
      {"long run after noise", random_bytes(300, 3)},
  };
  std::mt19937 rng(4);
  for (int i = 0; i < 30000; ++i) shapes[7].data.push_back(static_cast<uint8_t>('a' + rng() % 3));
  for (int i = 0; i < 30000; ++i) shapes[8].data.push_back(static_cast<uint8_t>((i % 7) * 31 + (i % 13)));
  shapes[9].data.insert(shapes[9].data.end(), 100000, 0);
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.name);
    for (EncodeLevel level : {ENCODE_FAST, ENCODE_BEST}) {
      expect_round_trip(s.data, dictionary_for(s.data, level), level);
      expect_round_trip(s.data, identity_dictionary(), level);
    }
  }
}
