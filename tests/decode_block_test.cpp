#include "codec/decode_block.h"

#include <gtest/gtest.h>

#include <random>

#include "support/ls11_writer.h"
#include "support/reference_decoder.h"

using namespace ls11;

namespace {

// Decodes with both decoders, checks they agree, and returns the fast
// decoder's verdict and output.
bool decode_both(const Bytes& packed, const Bytes& dictionary, uint32_t size, Bytes& out) {
  out.assign(size, 0xEE);
  Bytes ref(size, 0xEE);
  const bool fast = decode_block(packed.data(), static_cast<uint32_t>(packed.size()),
                                 dictionary.data(), out.data(), size);
  const bool slow = reference_decode_block(packed.data(), static_cast<uint32_t>(packed.size()),
                                           dictionary.data(), ref.data(), size);
  EXPECT_EQ(fast, slow);
  if (fast && slow) {
    EXPECT_EQ(out, ref);
  }
  return fast;
}

TEST(DecodeBlock, WorkedExampleTwoLiteralsAndOverlappingMatch) {
  Bytes dict(256, 0);
  dict[0] = 0x41;
  dict[1] = 0x42;
  Bytes out;
  ASSERT_TRUE(decode_both({0x1F, 0xE0, 0x44}, dict, 6, out));
  EXPECT_EQ(out, (Bytes{0x41, 0x42, 0x41, 0x42, 0x41, 0x42}));
}

TEST(DecodeBlock, WorkedExampleTwelveBitLiterals) {
  Bytes out;
  ASSERT_TRUE(decode_both({0xFA, 0x3F, 0xA4, 0xFA, 0x5F, 0xE0, 0x59, 0xF9, 0xA0},
                          identity_dictionary(), 10, out));
  EXPECT_EQ(out, (Bytes{0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x58}));
}

TEST(DecodeBlock, WriterReproducesWorkedExample) {
  BitWriter w;
  put_literal(w, 0);
  put_literal(w, 1);
  put_match(w, 2, 4);
  EXPECT_EQ(w.bytes, (Bytes{0x1F, 0xE0, 0x44}));
  EXPECT_EQ(w.bit_count, 22u);
}

// Streams given code by code, with the size they must (or must not) decode
// to.
struct StreamCase {
  const char* name;
  std::vector<std::pair<char, uint32_t>> codes;  // 'v' value, 'b' raw one-bits
  uint32_t unpacked_size;
  bool succeeds;
};

Bytes pack(const std::vector<std::pair<char, uint32_t>>& codes) {
  BitWriter w;
  for (auto [kind, x] : codes) {
    if (kind == 'v') put_value(w, x);
    else put_bits(w, x == 64 ? ~uint64_t{0} : (uint64_t{1} << x) - 1, x);
  }
  return w.bytes;
}

TEST(DecodeBlock, StreamCases) {
  const std::vector<StreamCase> cases = {
      {"empty output reads nothing", {}, 0, true},
      {"literal then distance 1 length 5", {{'v', 7}, {'v', 257}, {'v', 2}}, 6, true},
      {"length value below 256 is a length",
       {{'v', 1}, {'v', 2}, {'v', 258}, {'v', 200}},
       205,
       true},
      {"value 256 first fails", {{'v', 256}, {'v', 0}}, 4, false},
      {"value 256 after good output fails", {{'v', 1}, {'v', 2}, {'v', 256}}, 3, false},
      {"distance past block start fails", {{'v', 1}, {'v', 258}, {'v', 0}}, 4, false},
      {"distance at block start fails", {{'v', 257}, {'v', 0}}, 3, false},
      {"length beyond owed count fails", {{'v', 1}, {'v', 257}, {'v', 5}}, 8, false},
      {"length exactly the owed count", {{'v', 1}, {'v', 257}, {'v', 5}}, 9, true},
      {"largest length value fails without wrap",
       {{'v', 1}, {'v', 257}, {'v', 0xFFFFFFFDu}},
       100,
       false},
      {"largest distance value fails without wrap",
       {{'v', 1}, {'v', 0xFFFFFFFDu}, {'v', 0}},
       100,
       false},
      {"stream ends after a distance", {{'v', 1}, {'v', 257}, {'b', 6}}, 4, false},
      {"stream ends inside the data", {{'v', 1}, {'b', 6}}, 2, false},
      {"padding zeros are codes too", {{'v', 1}}, 4, true},
      {"30 one-bits prefix is a valid 62-bit code", {{'v', 0x7FFFFFFEu + 300}}, 1, false},
      {"31 one-bits fail", {{'b', 31}, {'b', 0}}, 1, false},
      {"64 one-bits fail", {{'b', 64}, {'b', 0}}, 1, false},
  };
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes packed = pack(c.codes);
    Bytes out;
    EXPECT_EQ(decode_both(packed, identity_dictionary(), c.unpacked_size, out), c.succeeds);
    if (c.succeeds) {
      packed.resize(packed.size() + 9, 0xFF);  // bytes after the last code are ignored
      EXPECT_TRUE(decode_both(packed, identity_dictionary(), c.unpacked_size, out));
    }
  }
}

TEST(DecodeBlock, LongCodesAtEveryBitAlignment) {
  // A length with n = 29 takes 58 bits, more than one refill guarantees.
  // Decoded at every alignment it must still give a run of 2^29 + 1 bytes;
  // one byte less owed and the same length must fail.
  const uint32_t length_value = (1u << 29) - 2;
  const uint32_t size_limit = length_value + 3 + 8;
  std::vector<uint8_t> out(size_limit);
  for (uint32_t pad = 0; pad < 8; ++pad) {
    SCOPED_TRACE(pad);
    BitWriter w;
    for (uint32_t i = 0; i < pad; ++i) put_literal(w, 1);
    put_literal(w, 9);
    put_match(w, 1, length_value + 3);
    const uint32_t size = pad + 1 + length_value + 3;
    ASSERT_TRUE(decode_block(w.bytes.data(), static_cast<uint32_t>(w.bytes.size()),
                             identity_dictionary().data(), out.data(), size));
    EXPECT_EQ(out[pad], 9);
    EXPECT_EQ(out[size - 1], 9);
    EXPECT_FALSE(decode_block(w.bytes.data(), static_cast<uint32_t>(w.bytes.size()),
                              identity_dictionary().data(), out.data(), size - 1));
  }
}

TEST(DecodeBlock, OverlappingCopiesRepeatThePattern) {
  for (uint32_t distance = 1; distance <= 20; ++distance) {
    for (uint32_t length : {3u, 4u, 7u, 8u, 9u, 16u, 17u, 33u, 100u, 1000u}) {
      BitWriter w;
      for (uint32_t i = 0; i < distance; ++i) put_literal(w, static_cast<uint8_t>(i * 37 + 1));
      put_match(w, distance, length);
      Bytes out;
      ASSERT_TRUE(decode_both(w.bytes, identity_dictionary(), distance + length, out));
      for (uint32_t i = distance; i < distance + length; ++i) ASSERT_EQ(out[i], out[i - distance]);
    }
  }
}

// Random valid streams: literals and back-references of every distance and
// length, decoded by both decoders, against the sequence they were made from.
TEST(DecodeBlock, RandomValidStreamsMatchTheirSource) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 300; ++round) {
    Bytes dict(256);
    for (int i = 0; i < 256; ++i) dict[static_cast<size_t>(i)] = static_cast<uint8_t>(rng());
    BitWriter w;
    Bytes expected;
    const size_t target = rng() % 5000;
    while (expected.size() < target) {
      if (expected.empty() || rng() % 3 == 0) {
        const uint8_t index = static_cast<uint8_t>(rng() % (rng() % 2 ? 8 : 256));
        put_literal(w, index);
        expected.push_back(dict[index]);
      } else {
        const uint32_t distance =
            1 + static_cast<uint32_t>(rng() %
                                      std::min<size_t>(expected.size(), rng() % 2 ? 16 : 70000));
        const uint32_t length = 3 + static_cast<uint32_t>(rng() % (rng() % 4 ? 20 : 3000));
        put_match(w, distance, length);
        for (uint32_t i = 0; i < length; ++i)
          expected.push_back(expected[expected.size() - distance]);
      }
    }
    Bytes out;
    ASSERT_TRUE(decode_both(w.bytes, dict, static_cast<uint32_t>(expected.size()), out));
    ASSERT_EQ(out, expected);
    // Cutting the last byte off a stream that needs all of it must fail, and
    // the decoders must agree on every shorter size too.
    if (!w.bytes.empty() && w.bit_count % 8 != 0 && expected.size() > 0) {
      Bytes cut(w.bytes.begin(), w.bytes.end() - 1);
      EXPECT_FALSE(decode_both(cut, dict, static_cast<uint32_t>(expected.size()), out));
    }
    decode_both(w.bytes, dict, static_cast<uint32_t>(expected.size() / 2), out);
  }
}

// Random bytes are mostly invalid streams; the decoders must agree on every
// one, success or not.
TEST(DecodeBlock, RandomBytesAgreeWithReference) {
  std::mt19937 rng(99);
  int successes = 0;
  for (int round = 0; round < 20000; ++round) {
    Bytes packed(rng() % 40);
    for (uint8_t& b : packed) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0xFF : rng());
    Bytes out;
    successes += decode_both(packed, identity_dictionary(), static_cast<uint32_t>(rng() % 64), out);
  }
  EXPECT_GT(successes, 0);
}

// A back-reference of every short distance and of lengths on both sides of
// the chunked copy's limit, with 0 to 40 literals after it: the chunked copy
// writes past the match, and those bytes must be overwritten by what
// follows or lie beyond the block; near the block's end the copy must be
// exact.
TEST(DecodeBlock, ShortMatchesFollowedByLiteralsAndAtTheBlockEnd) {
  for (uint32_t distance = 1; distance <= 40; ++distance) {
    for (uint32_t length = 3; length <= 40; ++length) {
      for (uint32_t trailing : {0u, 1u, 2u, 7u, 31u, 32u, 33u, 40u}) {
        BitWriter w;
        Bytes expected;
        for (uint32_t i = 0; i < distance + 9; ++i) {
          const uint8_t index = static_cast<uint8_t>(i * 37 + distance);
          put_literal(w, index);
          expected.push_back(index);
        }
        put_match(w, distance, length);
        for (uint32_t i = 0; i < length; ++i)
          expected.push_back(expected[expected.size() - distance]);
        for (uint32_t i = 0; i < trailing; ++i) {
          put_literal(w, static_cast<uint8_t>(200 + i));
          expected.push_back(static_cast<uint8_t>(200 + i));
        }
        Bytes out;
        ASSERT_TRUE(decode_both(w.bytes, identity_dictionary(),
                                static_cast<uint32_t>(expected.size()), out))
            << distance << " " << length << " " << trailing;
        ASSERT_EQ(out, expected) << distance << " " << length << " " << trailing;
      }
    }
  }
}

// Distance codes whose prefix is just within or just beyond what the fast
// loop takes from the bits left after one or two 16-bit literals (n = 20/21
// after one, 12/13 after two), with the refill before the literals at every
// alignment: each must decode as when read alone.
TEST(DecodeBlock, CodeLengthsAroundTheRefillLimits) {
  const struct {
    uint32_t n;
    uint32_t literals;
  } cases[] = {{12, 0}, {12, 2}, {13, 0}, {13, 1}, {13, 2}, {20, 1}, {21, 1}};
  for (const auto& c : cases) {
    const uint32_t distance = (1u << c.n) - 2 - 256 + 3;  // its value has an n-bit code
    for (uint32_t pad = 0; pad < 4; ++pad) {
      BitWriter w;
      Bytes expected;
      auto literal = [&](uint8_t index) {
        put_literal(w, index);
        expected.push_back(index);
      };
      auto match = [&](uint32_t d, uint32_t length) {
        put_match(w, d, length);
        for (uint32_t i = 0; i < length; ++i) expected.push_back(expected[expected.size() - d]);
      };
      for (uint32_t i = 0; i < pad; ++i) literal(0);  // 2 bits each: shifts what follows
      literal(1);
      match(1, distance);  // enough history for the long distance; ends a fast-loop step
      for (uint32_t i = 0; i < c.literals; ++i)
        literal(static_cast<uint8_t>(254 + i));  // 16 bits each
      match(distance, 5);
      for (uint32_t i = 0; i < 24; ++i)
        literal(static_cast<uint8_t>(9 + 10 * i));  // keeps the fast loop going
      const uint32_t size = static_cast<uint32_t>(expected.size());
      Bytes out;
      ASSERT_TRUE(decode_both(w.bytes, identity_dictionary(), size, out)) << c.n << " " << pad;
      ASSERT_EQ(out, expected) << c.n << " " << pad;
      EXPECT_TRUE(decode_both(w.bytes, identity_dictionary(), size - 3, out));  // stops early
      // Without its last byte the stream must fail: the bits counted as
      // loaded have to be exact for the end to be found.
      const Bytes cut(w.bytes.begin(), w.bytes.end() - 1);
      EXPECT_FALSE(decode_both(cut, identity_dictionary(), size, out));
    }
  }
}

// The last codes of a stream lie in its final 8 bytes, where the wide
// refill cannot load: streams cut at every length must still agree.
TEST(DecodeBlock, StreamTailsOfEveryLength) {
  std::mt19937 rng(77);
  for (int round = 0; round < 200; ++round) {
    BitWriter w;
    Bytes expected;
    while (expected.size() < 200) {
      if (expected.size() < 20 || rng() % 3 != 0) {
        const uint8_t index = static_cast<uint8_t>(rng() % (round % 2 ? 4 : 256));
        put_literal(w, index);
        expected.push_back(index);
      } else {
        const uint32_t distance = 1 + static_cast<uint32_t>(rng() % 20);
        const uint32_t length = 3 + static_cast<uint32_t>(rng() % 40);
        put_match(w, distance, length);
        for (uint32_t i = 0; i < length; ++i)
          expected.push_back(expected[expected.size() - distance]);
      }
    }
    Bytes out;
    ASSERT_TRUE(
        decode_both(w.bytes, identity_dictionary(), static_cast<uint32_t>(expected.size()), out));
    ASSERT_EQ(out, expected);
    for (size_t cut = 0; cut < w.bytes.size(); ++cut) {
      const Bytes shorter(w.bytes.begin(), w.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
      decode_both(shorter, identity_dictionary(), static_cast<uint32_t>(expected.size()), out);
      decode_both(shorter, identity_dictionary(), static_cast<uint32_t>(rng() % expected.size()),
                  out);
    }
  }
}

}  // namespace
