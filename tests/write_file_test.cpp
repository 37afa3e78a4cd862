#include "container/write_file.h"

#include <gtest/gtest.h>

#include <random>

#include "support/allocation_probe.h"
#include "support/convert_bytes.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"

using namespace ls11;

namespace {

// What write_file or pack_file put into a file, as bytes.
struct Written {
  bool ok;
  int status;
  Bytes bytes;
};

template <typename Write>
Written write_to_bytes(Write write) {
  const std::string folder = make_temp_folder();
  const std::string path = folder + "/out.ls11";
  Written w{false, LS11_OK, {}};
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file) {
    w.status = write(file);
    w.ok = w.status == LS11_OK;
    std::fclose(file);
    w.bytes = read_file_bytes(path);
  }
  remove_tree(folder);
  return w;
}

std::vector<BlockView> views(const std::vector<Bytes>& inputs) {
  std::vector<BlockView> v;
  for (const Bytes& b : inputs) v.push_back(BlockView{b.data(), static_cast<uint32_t>(b.size())});
  return v;
}

Bytes concatenated(const std::vector<Bytes>& inputs) {
  Bytes all;
  for (const Bytes& b : inputs) all.insert(all.end(), b.begin(), b.end());
  return all;
}

uint32_t be32_at(const Bytes& b, size_t offset) {
  return uint32_t{b[offset]} << 24 | uint32_t{b[offset + 1]} << 16 | uint32_t{b[offset + 2]} << 8 |
         b[offset + 3];
}

TEST(WriteFile, LaysOutHeaderDictionaryTableAndBlocks) {
  const Bytes a = {1, 2, 3};
  const Bytes b = {9, 8, 7, 6, 5};
  const PackedBlock blocks[] = {{a.data(), 3, 3}, {b.data(), 5, 40}};
  for (int version : {10, 11, 12}) {
    SCOPED_TRACE(version);
    const Written w = write_to_bytes([&](std::FILE* f) {
      return write_file(file_sink(f), version, identity_dictionary().data(), blocks, 2);
    });
    ASSERT_TRUE(w.ok);
    // The same file as the test builder makes from the same parts.
    TestEntry compressed;
    compressed.packed = b;
    compressed.unpacked_size = 40;
    EXPECT_EQ(w.bytes,
              build_file({stored_entry(a), compressed}, static_cast<char>('0' + version - 10)));
    EXPECT_EQ(be32_at(w.bytes, 272 + 8), 276u + 12 * 2);  // readers derive the count from it
    EXPECT_EQ(be32_at(w.bytes, 272 + 24), 0u);            // the closing word
  }
}

TEST(WriteFile, RefusesWhatTheFormatCannotHold) {
  const Bytes a = {1};
  const PackedBlock one[] = {{a.data(), 1, 1}};
  const auto attempt = [&](int version, const PackedBlock* blocks, uint32_t count) {
    return write_to_bytes([&](std::FILE* f) {
      return write_file(file_sink(f), version, identity_dictionary().data(), blocks, count);
    });
  };
  // Sizes whose file would pass 4 GiB (the bytes are never read).
  const PackedBlock huge[] = {{a.data(), 0xFFFFFFFFu - 300, 1}, {a.data(), 0x200u, 1}};
  const struct {
    Written w;
    ls11_status status;
  } cases[] = {{attempt(9, one, 1), LS11_ERR_ARGUMENT},
               {attempt(13, one, 1), LS11_ERR_ARGUMENT},
               {attempt(11, one, 0), LS11_ERR_ARGUMENT},
               {attempt(11, huge, 2), LS11_ERR_TOO_LARGE}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.w.status, c.status);
    EXPECT_TRUE(c.w.bytes.empty());
  }
  uint64_t length = 0;
  EXPECT_EQ(compute_file_length(huge, 1, length), LS11_OK);
  EXPECT_EQ(length, 276u + 12 + 0xFFFFFFFFu - 300);
}

// Packed files of every level, stored or not, with every version, decode
// with convert_file to exactly their inputs.
TEST(PackFile, ConvertsBackToItsInputs) {
  std::mt19937 rng(21);
  std::vector<Bytes> inputs = {{}, {'x'}, Bytes(1000, 'r'), {}};
  for (int i = 0; i < 40; ++i) {
    Bytes b(rng() % 3000);
    const uint32_t alphabet = 1 + static_cast<uint32_t>(rng() % 200);
    for (uint8_t& c : b) c = static_cast<uint8_t>(rng() % alphabet);
    inputs.push_back(b);
  }
  const std::vector<BlockView> blocks = views(inputs);
  for (const ls11_level level : {LS11_LEVEL_STORE, LS11_LEVEL_FAST, LS11_LEVEL_BEST}) {
    for (const int version : {10, 11, 12}) {
      SCOPED_TRACE(testing::Message() << level << version);
      const Written w = write_to_bytes([&](std::FILE* f) {
        return pack_file(f, version, level, 0, blocks.data(), static_cast<uint32_t>(blocks.size()));
      });
      ASSERT_TRUE(w.ok);
      EXPECT_EQ(w.bytes[3], '0' + version - 10);
      const Conversion c = convert_bytes(w.bytes);
      ASSERT_TRUE(c.succeeded);
      EXPECT_EQ(c.output, concatenated(inputs));
      // Stored files keep every byte as it is; packed ones shrink.
      const size_t stored_size = 276 + 12 * inputs.size() + concatenated(inputs).size();
      if (level == LS11_LEVEL_STORE) EXPECT_EQ(w.bytes.size(), stored_size);
      else EXPECT_LT(w.bytes.size(), stored_size);
    }
  }
}

// What the tool never passes is refused, and memory refused at each
// allocation in turn (on two threads, at the best level, with blocks
// enough that sorting them takes a buffer) gives LS11_ERR_NO_MEMORY with
// nothing written, or the file.
// A placed output that takes nothing: the calls below must not write.
const PlacedSink kRefusingSink{[](void*, uint64_t, const void*, size_t) { return false; }, nullptr};

TEST(PackFile, RefusesBadArgumentsAndSaysMemoryRanOut) {
  std::vector<Bytes> inputs;
  for (int i = 0; i < 20; ++i)
    inputs.push_back(Bytes(100 + 37 * (i % 7), static_cast<uint8_t>('a' + i % 5)));
  const std::vector<BlockView> blocks = views(inputs);
  for (const auto& [version, count] : {std::pair{9, 20u}, {13, 20u}, {11, 0u}}) {
    SCOPED_TRACE(testing::Message() << version << " " << count);
    const Written w = write_to_bytes([&](std::FILE* f) {
      return pack_file(f, version, LS11_LEVEL_FAST, 0, blocks.data(), count);
    });
    EXPECT_EQ(w.status, LS11_ERR_ARGUMENT);
    EXPECT_TRUE(w.bytes.empty());
    EXPECT_EQ(pack_file_placed(kRefusingSink, version, LS11_LEVEL_FAST, 0, blocks.data(), count),
              LS11_ERR_ARGUMENT);
  }
  // Placed, entries that might not fit are refused before any is read.
  const BlockView unread[] = {{nullptr, UINT32_MAX}, {nullptr, 1}};
  EXPECT_EQ(pack_file_placed(kRefusingSink, 11, LS11_LEVEL_FAST, 0, unread, 2), LS11_ERR_TOO_LARGE);
  size_t out_of_memory = 0;
  for (size_t nth = 1;; ++nth) {
    SCOPED_TRACE(nth);
    fail_nothrow_allocation(nth);
    const Written w = write_to_bytes([&](std::FILE* f) {
      return pack_file(f, 11, LS11_LEVEL_BEST, 2, blocks.data(),
                       static_cast<uint32_t>(blocks.size()));
    });
    const bool refused = nothrow_allocation_failed();
    fail_nothrow_allocation(0);
    // A refused buffer that only speeds the work up (the sort's, a second
    // thread's) still gives the file.
    if (w.status == LS11_ERR_NO_MEMORY) {
      ++out_of_memory;
      EXPECT_TRUE(w.bytes.empty());
    } else {
      ASSERT_TRUE(w.ok);
      EXPECT_EQ(convert_bytes(w.bytes).output, concatenated(inputs));
    }
    if (!refused) break;
  }
  EXPECT_GT(out_of_memory, 0u);
}

TEST(PackFile, ManyBlocks) {
  std::vector<Bytes> inputs;
  for (int i = 0; i < 3000; ++i)
    inputs.push_back(Bytes(static_cast<size_t>(i % 17), static_cast<uint8_t>(i)));
  const std::vector<BlockView> blocks = views(inputs);
  const Written w = write_to_bytes([&](std::FILE* f) {
    return pack_file(f, 11, LS11_LEVEL_FAST, 0, blocks.data(),
                     static_cast<uint32_t>(blocks.size()));
  });
  ASSERT_TRUE(w.ok);
  const Conversion c = convert_bytes(w.bytes);
  ASSERT_TRUE(c.succeeded);
  EXPECT_EQ(c.output, concatenated(inputs));
}

}  // namespace
