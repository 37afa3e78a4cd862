#include "codec/encode_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "codec/pack_blocks.h"
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

// Runs of one byte, a repeated pattern and noise, in turns: matches of
// every length, overlapping copies and stretches with nothing to find.
Bytes mixed(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const uint32_t kind = rng() % 4;
    const size_t length = 1 + rng() % (kind == 0 ? 5000 : 700);
    if (kind == 0) {
      out.insert(out.end(), length, static_cast<uint8_t>(rng()));
    } else if (kind == 1 && !out.empty()) {
      const size_t distance = 1 + rng() % std::min<size_t>(out.size(), rng() % 2 ? 64 : 1 << 20);
      for (size_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
    } else if (kind == 2) {
      const Bytes words = text_like(length, static_cast<uint32_t>(rng()));
      out.insert(out.end(), words.begin(), words.end());
    } else {
      for (size_t i = 0; i < length; ++i) out.push_back(static_cast<uint8_t>(rng()));
    }
  }
  out.resize(size);
  return out;
}

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
      {"mixed", mixed(200000, 5)},
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

// Blocks of megabytes: the best level's path is found a segment at a time
// and matches reach across segments; runs longer than the 16-bit codes.
TEST(EncodeBlock, RoundTripsBlocksOfSeveralMegabytes) {
  Bytes big = mixed(3 << 20, 6);
  big.insert(big.end(), 1 << 20, 0x55);  // one match of 2^20 bytes
  for (EncodeLevel level : {ENCODE_FAST, ENCODE_BEST}) {
    SCOPED_TRACE(level);
    const Bytes dictionary = dictionary_for(big, level);
    expect_round_trip(big, dictionary, level);
  }
}

TEST(EncodeBlock, BestIsNeverLargerThanFast) {
  const std::vector<Bytes> blocks = {text_like(50000, 7), mixed(300000, 8), random_bytes(2000, 9),
                                     Bytes(70000, 1), mixed(5000, 10)};
  for (size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE(i);
    const Bytes dictionary = dictionary_for(blocks[i], ENCODE_FAST);
    const Packed fast = encode(blocks[i], dictionary, ENCODE_FAST);
    const Packed best = encode(blocks[i], dictionary, ENCODE_BEST);
    EXPECT_LE(best.bytes.size(), fast.bytes.size());
  }
}

// Every small block is either packed smaller than its data and decodes to
// it, or stored as it is: a packed size equal to the data's would be read
// back as stored.
TEST(EncodeBlock, SmallBlocksArePackedSmallerOrStored) {
  std::mt19937 rng(11);
  int stored = 0;
  int packed = 0;
  for (int round = 0; round < 3000; ++round) {
    const size_t size = rng() % 40;
    const uint32_t alphabet = 1 + static_cast<uint32_t>(rng() % 6);
    Bytes data(size);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng() % alphabet * 41);
    Bytes dictionary = identity_dictionary();
    std::shuffle(dictionary.begin(), dictionary.end(), rng);
    const Packed p = encode(data, dictionary, round % 2 ? ENCODE_BEST : ENCODE_FAST);
    ASSERT_LE(p.bytes.size(), data.size());
    (p.stored ? stored : packed) += 1;
    expect_round_trip(data, dictionary, round % 2 ? ENCODE_BEST : ENCODE_FAST);
  }
  EXPECT_GT(stored, 100);
  EXPECT_GT(packed, 100);
}

TEST(EncodeBlock, StoresWhatDoesNotShrink) {
  const Bytes noise = random_bytes(10000, 12);
  for (EncodeLevel level : {ENCODE_FAST, ENCODE_BEST}) {
    const Packed p = encode(noise, identity_dictionary(), level);
    EXPECT_TRUE(p.stored);
    EXPECT_EQ(p.bytes, noise);
    // A single byte costs at least two bits, so it never shrinks.
    EXPECT_TRUE(encode(Bytes{0}, identity_dictionary(), level).stored);
  }
}

// A dictionary need not hold every byte, and may hold one twice: a block
// with a byte it lacks is stored, and a byte held twice uses either code.
TEST(EncodeBlock, DictionariesThatAreNotPermutations) {
  Bytes dictionary(256, 'x');
  dictionary[0] = 'a';
  dictionary[1] = 'b';
  dictionary[2] = 'a';
  Bytes data;
  for (int i = 0; i < 3000; ++i) data.push_back(i % 7 < 3 ? 'a' : i % 5 ? 'b' : 'x');
  const Packed p = encode(data, dictionary, ENCODE_BEST);
  EXPECT_FALSE(p.stored);
  expect_round_trip(data, dictionary, ENCODE_BEST);
  data.push_back('z');
  for (EncodeLevel level : {ENCODE_FAST, ENCODE_BEST}) EXPECT_TRUE(encode(data, dictionary, level).stored);
}

// The dictionary gives the shortest codes to the bytes the parse writes as
// literals most often, and is a permutation of all 256 values.
TEST(BuildDictionary, OrdersBytesByLiteralUse) {
  Bytes data;
  std::mt19937 rng(13);
  // 'e' is common and scattered; 'q' rare; 'z' only inside one long repeat.
  for (int i = 0; i < 20000; ++i) data.push_back(rng() % 3 == 0 ? 'e' : rng() % 50 == 0 ? 'q' : 't');
  const Bytes dictionary = dictionary_for(data, ENCODE_BEST);
  Bytes sorted = dictionary;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, identity_dictionary());
  const auto rank = [&](uint8_t b) { return std::find(dictionary.begin(), dictionary.end(), b) - dictionary.begin(); };
  EXPECT_LT(rank('e'), rank('q'));
  EXPECT_LT(rank('q'), rank('a'));
}

}  // namespace
