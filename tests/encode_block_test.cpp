#include "codec/encode_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "codec/code_cost.h"
#include "codec/decode_block.h"
#include "codec/match_finder.h"
#include "codec/pack_blocks.h"
#include "codec/shortest_path_parse.h"
#include "support/allocation_probe.h"
#include "support/ls11_writer.h"
#include "support/reference_decoder.h"
#ifdef LS11_THREAD_FAULTS
#include "support/thread_faults.h"
#endif

using namespace ls11;

namespace {

struct Packed {
  Bytes bytes;
  bool stored;
};

Packed encode(const Bytes& data, const Bytes& dictionary, ls11_level level) {
  Bytes out(data.size());
  uint32_t packed_size = 0xDEADBEEF;
  EXPECT_TRUE(encode_block(data.data(), static_cast<uint32_t>(data.size()), dictionary.data(),
                           level, out.data(), packed_size));
  EXPECT_LE(packed_size, data.size());
  out.resize(packed_size);
  return Packed{out, packed_size == data.size()};
}

// Encodes at `level` and decodes with both decoders; a stored block must be
// the data itself.
void expect_round_trip(const Bytes& data, const Bytes& dictionary, ls11_level level) {
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
    ASSERT_TRUE(reference_decode_block(packed.bytes.data(),
                                       static_cast<uint32_t>(packed.bytes.size()),
                                       dictionary.data(), ref.data(), size));
    ASSERT_TRUE(ref == data);
  }
}

Bytes dictionary_for(const Bytes& data, ls11_level level) {
  Bytes dictionary(256);
  const BlockView view{data.data(), static_cast<uint32_t>(data.size())};
  EXPECT_TRUE(build_dictionary(&view, 1, level, dictionary.data()));
  return dictionary;
}

Bytes text_like(size_t size, uint32_t seed) {
  static const char* const words[] = {"the ",      "castle ", "of ",   "general ",
                                      "army ",     "and ",    "rice ", "gold ",
                                      "province ", "lord ",   "\n",    "1582 "};
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
      // A match that ends at the block's last byte, where the next
      // position's search has no room to look ahead; both slot widths.
      {"repeat at the end", text_like(4000, 11)},
      {"repeat at the end, past 64 KiB", text_like(70000, 12)},
  };
  std::mt19937 rng(4);
  for (int i = 0; i < 30000; ++i) shapes[7].data.push_back(static_cast<uint8_t>('a' + rng() % 3));
  for (int i = 0; i < 30000; ++i)
    shapes[8].data.push_back(static_cast<uint8_t>((i % 7) * 31 + (i % 13)));
  shapes[9].data.insert(shapes[9].data.end(), 100000, 0);
  // Six bytes text never holds, first and last: nothing runs into the
  // last six, which repeat the first.
  for (size_t i : {11, 12}) {
    const Bytes marker = {1, 2, 3, 4, 5, 6};
    shapes[i].data.insert(shapes[i].data.begin(), marker.begin(), marker.end());
    shapes[i].data.insert(shapes[i].data.end(), marker.begin(), marker.end());
  }
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.name);
    for (ls11_level level : {LS11_LEVEL_STORE, LS11_LEVEL_FAST, LS11_LEVEL_BEST}) {
      expect_round_trip(s.data, dictionary_for(s.data, level), level);
      expect_round_trip(s.data, identity_dictionary(), level);
    }
    EXPECT_TRUE(encode(s.data, dictionary_for(s.data, LS11_LEVEL_BEST), LS11_LEVEL_STORE).stored);
    EXPECT_EQ(dictionary_for(s.data, LS11_LEVEL_STORE), identity_dictionary());
  }
}

// Blocks of megabytes: the best level's path is found a segment at a time
// and matches reach across segments; runs longer than the 16-bit codes.
TEST(EncodeBlock, RoundTripsBlocksOfSeveralMegabytes) {
  Bytes big = mixed(3 << 20, 6);
  big.insert(big.end(), 1 << 20, 0x55);  // one match of 2^20 bytes
  for (ls11_level level : {LS11_LEVEL_FAST, LS11_LEVEL_BEST}) {
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
    const Bytes dictionary = dictionary_for(blocks[i], LS11_LEVEL_FAST);
    const Packed fast = encode(blocks[i], dictionary, LS11_LEVEL_FAST);
    const Packed best = encode(blocks[i], dictionary, LS11_LEVEL_BEST);
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
    const Packed p = encode(data, dictionary, round % 2 ? LS11_LEVEL_BEST : LS11_LEVEL_FAST);
    ASSERT_LE(p.bytes.size(), data.size());
    (p.stored ? stored : packed) += 1;
    expect_round_trip(data, dictionary, round % 2 ? LS11_LEVEL_BEST : LS11_LEVEL_FAST);
  }
  EXPECT_GT(stored, 100);
  EXPECT_GT(packed, 100);
}

TEST(EncodeBlock, StoresWhatDoesNotShrink) {
  const Bytes noise = random_bytes(10000, 12);
  for (ls11_level level : {LS11_LEVEL_FAST, LS11_LEVEL_BEST}) {
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
  const Packed p = encode(data, dictionary, LS11_LEVEL_BEST);
  EXPECT_FALSE(p.stored);
  expect_round_trip(data, dictionary, LS11_LEVEL_BEST);
  data.push_back('z');
  for (ls11_level level : {LS11_LEVEL_FAST, LS11_LEVEL_BEST})
    EXPECT_TRUE(encode(data, dictionary, level).stored);
}

// The dictionary gives the shortest codes to the bytes the parse writes as
// literals most often, and is a permutation of all 256 values.
TEST(BuildDictionary, OrdersBytesByLiteralUse) {
  Bytes data;
  std::mt19937 rng(13);
  // 'e' is common and scattered; 'q' rare; 'z' only inside one long repeat.
  for (int i = 0; i < 20000; ++i)
    data.push_back(rng() % 3 == 0 ? 'e' : rng() % 50 == 0 ? 'q' : 't');
  const Bytes dictionary = dictionary_for(data, LS11_LEVEL_BEST);
  Bytes sorted = dictionary;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, identity_dictionary());
  const auto rank = [&](uint8_t b) {
    return std::find(dictionary.begin(), dictionary.end(), b) - dictionary.begin();
  };
  EXPECT_LT(rank('e'), rank('q'));
  EXPECT_LT(rank('q'), rank('a'));
  // Each allocation refused in turn: no dictionary, or the same one.
  const BlockView view{data.data(), static_cast<uint32_t>(data.size())};
  for (size_t nth = 1;; ++nth) {
    SCOPED_TRACE(nth);
    Bytes starved(256);
    fail_nothrow_allocation(nth);
    const bool built = build_dictionary(&view, 1, LS11_LEVEL_BEST, starved.data());
    const bool refused = nothrow_allocation_failed();
    fail_nothrow_allocation(0);
    if (built) {
      EXPECT_EQ(starved, dictionary);
    }
    if (!refused) {
      EXPECT_TRUE(built);
      break;
    }
  }
}

// The finder's answers at the places a finder gets wrong: the window's
// edge, the block's end, runs and overlapping copies. Every match it gives
// must be real, as long as the block allows at its distance, and the
// nearest of its length.
TEST(MatchFinder, FindsTheNearestMatchOfEachLengthWithinTheWindow) {
  constexpr unsigned kWindowBits = 10;  // matches reach 1023 bytes back
  struct Case {
    const char* name;
    Bytes data;
    uint32_t position;
    Match longest;  // length 0: none of 8 bytes or more
  };
  Bytes edge = random_bytes(2100, 21);
  std::copy(edge.begin(), edge.begin() + 40, edge.begin() + 1023);         // 1023 back: in reach
  std::copy(edge.begin() + 100, edge.begin() + 140, edge.begin() + 1124);  // 1024 back: out
  Bytes tail = random_bytes(300, 22);
  std::copy(tail.begin() + 10, tail.begin() + 30, tail.end() - 20);  // a match to the last byte
  Bytes periodic;
  for (int i = 0; i < 600; ++i) periodic.push_back(static_cast<uint8_t>("abcab"[i % 5]));
  const std::vector<Case> cases = {
      {"window edge, in reach", edge, 1023, {40, 1023}},
      {"window edge, one byte too far", edge, 1124, {0, 0}},
      {"match up to the block's end", tail, 280, {20, 270}},
      {"run: distance 1 to the end", Bytes(5000, 0xAA), 1, {4999, 1}},
      {"overlapping period", periodic, 5, {595, 5}},
      {"last three bytes", periodic, 597, {3, 5}},
      // Allocated to the byte, so a read past the block's end (the next
      // position's hash slots are fetched early) shows under AddressSanitizer.
      {"last three bytes of a run", Bytes(600, 0xAA), 597, {3, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FinderTables tables;
    MatchFinder finder;
    ASSERT_TRUE(match_finder_init(finder, tables, c.data.data(),
                                  static_cast<uint32_t>(c.data.size()), kWindowBits, 64, 1u << 20));
    std::vector<Match> matches(65);
    uint32_t found = 0;
    for (uint32_t p = 0; p <= c.position; ++p) found = find_matches(finder, p, matches.data());
    for (uint32_t i = 0; i < found; ++i) {
      const Match m = matches[i];
      ASSERT_LE(m.distance, (1u << kWindowBits) - 1);
      ASSERT_LE(m.length, c.data.size() - c.position);
      EXPECT_TRUE(std::equal(c.data.begin() + c.position - m.distance,
                             c.data.begin() + c.position - m.distance + m.length,
                             c.data.begin() + c.position));
      if (i > 0) {
        EXPECT_GT(m.length, matches[i - 1].length);
        EXPECT_GE(m.distance, matches[i - 1].distance);
      }
    }
    if (c.longest.length == 0) {
      EXPECT_TRUE(found == 0 || matches[found - 1].length < 8);
    } else {
      ASSERT_NE(found, 0u);
      EXPECT_EQ(matches[found - 1].length, c.longest.length);
      EXPECT_EQ(matches[found - 1].distance, c.longest.distance);
    }
  }
}

// The cheapest packing in bits, by trying every length at every distance.
uint64_t exhaustive_bits(const Bytes& data, const LiteralTable& literals) {
  const size_t n = data.size();
  std::vector<uint64_t> price(n + 1, UINT64_MAX);
  price[0] = 0;
  for (size_t k = 0; k < n; ++k) {
    price[k + 1] = std::min(price[k + 1], price[k] + literals.bits[data[k]]);
    for (size_t d = 1; d <= k; ++d) {
      for (size_t len = 0; k + len < n && data[k + len] == data[k + len - d]; ++len) {
        if (len + 1 >= kMinMatch) {
          const uint64_t cost =
              price[k] + match_bits(static_cast<uint32_t>(len + 1), static_cast<uint32_t>(d));
          price[k + len + 1] = std::min(price[k + len + 1], cost);
        }
      }
    }
  }
  return price[n];
}

// Only some lengths of each match get an arrival (see shortest_path_parse.cpp); the path
// must still be as cheap as the one over every length, in the blocks where
// that choice matters: short ones over few bytes, with matches of every
// length and many cut short by the next match. The bytes take codes 6 to
// 9 (6 bits each), so that a copy of 3 bytes never pays: the finder keeps
// only the newest position per 3-byte hash and may miss one.
TEST(EncodeBlock, BestMatchesAnExhaustiveParse) {
  std::mt19937 rng(23);
  Bytes dictionary = identity_dictionary();
  for (uint8_t b = 0; b < 4; ++b) std::swap(dictionary[b], dictionary[6 + b]);
  LiteralTable literals;
  make_literal_table(dictionary.data(), literals);
  int compressed = 0;
  for (int round = 0; round < 300; ++round) {
    Bytes data(60 + rng() % 100);
    const uint32_t alphabet = 2 + static_cast<uint32_t>(rng() % 3);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng() % alphabet);
    const uint64_t optimum = (exhaustive_bits(data, literals) + 7) / 8;
    const Packed p = encode(data, dictionary, LS11_LEVEL_BEST);
    if (p.stored) {
      EXPECT_GE(optimum, data.size());
      continue;
    }
    ++compressed;
    EXPECT_EQ(p.bytes.size(), optimum) << "round " << round;
  }
  EXPECT_GT(compressed, 250);
}

// The fast level keeps a block's positions in 16-bit slots below 64 KiB and
// in 32-bit ones from there on, in one working memory. Whatever width the
// block before used, a copy at the block's very end of its first 200 bytes
// (which cost 14 bits each as literals, in filler that costs about 3) must
// reach back to its first byte: it packs smaller than the same block with
// that copy's first byte swapped for another of the same price.
TEST(EncodeBlock, FastReachesTheFirstByteAtEitherSlotWidth) {
  ParseMemory memory;
  const Bytes dictionary = identity_dictionary();
  for (uint32_t size : {65534u, 65535u, 65536u, 65537u, 4096u, 200000u, 65535u}) {
    SCOPED_TRACE(size);
    std::mt19937 rng(size);
    Bytes copied(size);
    for (uint8_t& b : copied) b = static_cast<uint8_t>(rng() % 4);
    copied[0] = 250;
    for (size_t i = 1; i < 200; ++i) copied[i] = static_cast<uint8_t>(128 + rng() % 122);
    std::copy(copied.begin(), copied.begin() + 200, copied.end() - 200);
    Bytes swapped = copied;
    swapped[size - 200] = 251;
    uint32_t packed_sizes[2];
    Bytes out(size);
    uint64_t counts[256] = {};
    ASSERT_TRUE(encode_block_counting(swapped.data(), size, dictionary.data(), LS11_LEVEL_FAST,
                                      memory, out.data(), packed_sizes[1], counts));
    ASSERT_TRUE(encode_block_counting(copied.data(), size, dictionary.data(), LS11_LEVEL_FAST,
                                      memory, out.data(), packed_sizes[0], counts));
    EXPECT_LT(packed_sizes[0], packed_sizes[1]);
    ASSERT_LT(packed_sizes[0], size);
    Bytes decoded(size);
    ASSERT_TRUE(decode_block(out.data(), packed_sizes[0], dictionary.data(), decoded.data(), size));
    EXPECT_EQ(decoded, copied);
  }
}

// What a pack hands on in order: the blocks' bytes one after another, and
// whether they came in file order; refused past `refuse_at` blocks.
struct HandedOn {
  Bytes bytes;
  uint32_t next = 0;
  bool in_order = true;
  uint32_t refuse_at = UINT32_MAX;
};

bool hand_on_block(void* context, uint32_t index, const uint8_t* bytes, uint32_t size) {
  HandedOn& h = *static_cast<HandedOn*>(context);
  if (index == h.refuse_at) return false;
  h.in_order = h.in_order && index == h.next;
  h.next = index + 1;
  h.bytes.insert(h.bytes.end(), bytes, bytes + size);
  return true;
}

// Threads share out the blocks, never the work on one: the file is the same
// bytes on any number of them, and decodes; handed on in file order as they
// are packed, the blocks are those bytes too. A thread that cannot be
// started leaves its share to the others.
TEST(PackBlocks, SameBytesOnAnyNumberOfThreads) {
  std::vector<Bytes> data;
  for (uint32_t i = 0; i < 12; ++i) data.push_back(mixed(1000 + 7000 * (i % 5), 30 + i));
  // Small blocks at the end, which a round handing blocks on packs last.
  for (uint32_t i = 0; i < 3; ++i) data.push_back(mixed(300 + 200 * i, 50 + i));
  std::vector<BlockView> views;
  size_t total = 0;
  for (const Bytes& b : data) {
    views.push_back({b.data(), static_cast<uint32_t>(b.size())});
    total += b.size();
  }
  for (ls11_level level : {LS11_LEVEL_STORE, LS11_LEVEL_FAST, LS11_LEVEL_BEST}) {
    Bytes first;
    struct Run {
      unsigned threads;
      size_t refused_start;  // 0: every thread starts
    };
    for (const Run run : {Run{1, 0}, Run{2, 0}, Run{3, 0}, Run{0, 0}, Run{3, 2}}) {
      const unsigned threads = run.threads;
      SCOPED_TRACE(threads);
      SCOPED_TRACE(run.refused_start);
#ifdef LS11_THREAD_FAULTS
      fail_thread_start(run.refused_start);
#endif
      Bytes dictionary(256), packed(total);
      std::vector<uint32_t> sizes(data.size());
      ASSERT_TRUE(pack_blocks(views.data(), static_cast<uint32_t>(views.size()), level, threads,
                              dictionary.data(), packed.data(), sizes.data()));
      Bytes file = dictionary;
      size_t offset = 0;
      for (size_t i = 0; i < data.size(); ++i) {
        const Bytes block(packed.begin() + static_cast<std::ptrdiff_t>(offset),
                          packed.begin() + static_cast<std::ptrdiff_t>(offset + sizes[i]));
        if (sizes[i] != data[i].size()) {
          Bytes out(data[i].size());
          ASSERT_TRUE(
              decode_block(block.data(), sizes[i], dictionary.data(), out.data(), views[i].size));
          ASSERT_EQ(out, data[i]);
        }
        file.insert(file.end(), block.begin(), block.end());
        offset += data[i].size();
      }
      if (first.empty()) first = file;
      EXPECT_EQ(file, first);
#ifdef LS11_THREAD_FAULTS
      // Stored blocks are copied on the calling thread alone.
      EXPECT_EQ(thread_start_failed(), run.refused_start != 0 && level != LS11_LEVEL_STORE);
#endif
      HandedOn handed;
      const BlockSink sink{hand_on_block, &handed};
      ASSERT_TRUE(pack_blocks(views.data(), static_cast<uint32_t>(views.size()), level, threads,
                              dictionary.data(), packed.data(), sizes.data(), &sink));
      EXPECT_TRUE(handed.in_order);
      EXPECT_EQ(handed.next, views.size());
      EXPECT_EQ(Bytes(dictionary.begin(), dictionary.end()),
                Bytes(file.begin(), file.begin() + 256));
      EXPECT_EQ(handed.bytes, Bytes(file.begin() + 256, file.end()));
      // A refusal stops the pack, and nothing after the refused block is
      // handed on.
      HandedOn refusing;
      refusing.refuse_at = 5;
      const BlockSink refused{hand_on_block, &refusing};
      EXPECT_FALSE(pack_blocks(views.data(), static_cast<uint32_t>(views.size()), level, threads,
                               dictionary.data(), packed.data(), sizes.data(), &refused));
      EXPECT_EQ(refusing.next, 5u);
    }
  }
}

}  // namespace
