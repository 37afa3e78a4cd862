// Damaged and hostile files, one table per class of decompressor bug: each
// case is a whole file with the status and the decoded bytes it must give.
// Cases marked "control" are the nearest valid file, so that a check which
// refuses too much fails too. Each file is also read through the public API,
// from memory and from a path: the same status (a layout that does not add
// up refused by the open, a bad block by the read) and the same bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/status.h"
#include "ls11.h"
#include "support/api_read.h"
#include "support/convert_bytes.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"

using namespace ls11;

namespace {

struct HostileCase {
  std::string name;
  Bytes file;
  int status;
  Bytes output;
  bool output_exists = true;
};

Bytes text(const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

Bytes codes(const std::vector<uint32_t>& values, unsigned trailing_ones = 0) {
  BitWriter w;
  for (uint32_t v : values) put_value(w, v);
  put_bits(w, ~uint64_t{0}, trailing_ones);
  return w.bytes;
}

TestEntry compressed(const Bytes& packed, uint32_t unpacked_size) {
  TestEntry e;
  e.packed = packed;
  e.unpacked_size = unpacked_size;
  return e;
}

// Rewrites entry i of a built file.
void patch_entry(Bytes& file, size_t i, uint32_t packed_size, uint32_t unpacked_size,
                 uint32_t data_offset) {
  set_be32(file, 272 + 12 * i, packed_size);
  set_be32(file, 272 + 12 * i + 4, unpacked_size);
  set_be32(file, 272 + 12 * i + 8, data_offset);
}

void set_offset(Bytes& file, size_t i, uint32_t data_offset) {
  set_be32(file, 272 + 12 * i + 8, data_offset);
}

uint32_t size32(const Bytes& b) { return static_cast<uint32_t>(b.size()); }

void run_cases(const std::vector<HostileCase>& cases) {
  const std::string folder = make_temp_folder();
  const std::string path = folder + "/input.ls11";
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Conversion got = convert_bytes(c.file);
    EXPECT_EQ(got.status, c.status);
    EXPECT_EQ(got.succeeded, c.status == LS11_OK);
    EXPECT_EQ(got.output_exists, c.output_exists);
    EXPECT_EQ(got.output, c.output);
    ASSERT_TRUE(write_file_bytes(path, c.file));
    for (const ApiRead& api : {api_read_memory(c.file), api_read_path(path)}) {
      EXPECT_EQ(api.status, c.status);
      EXPECT_EQ(api.open_status == LS11_OK, c.status != LS11_ERR_FORMAT);
      EXPECT_EQ(api.output, c.output);
    }
  }
  remove_tree(folder);
}

TEST(HostileFiles, IntegerOverflowInLengthsOffsetsAndSums) {
  // Two packed sizes of 2^31 wrap the length rule's sum back to the file.
  Bytes wrapped_sum = build_file({stored_entry(text("hello")), stored_entry({}), stored_entry({})});
  patch_entry(wrapped_sum, 1, 0x80000000u, 7, 312);
  patch_entry(wrapped_sum, 2, 0x80000000u, 9, 312);
  // 0xFFFFFFFE + 4 is 2 in 32 bits: the header, not past the end.
  Bytes wrapped_offset = build_file({stored_entry(text("hello")), stored_entry(text("abcd"))});
  set_offset(wrapped_offset, 1, 0xFFFFFFFEu);
  run_cases({
      {"packed sizes whose sum wraps to the file's length", wrapped_sum, LS11_ERR_CORRUPT,
       text("hello")},
      {"data_offset plus packed_size wraps past 4 GiB", wrapped_offset, LS11_ERR_CORRUPT,
       text("hello")},
      {"largest length code does not wrap the owed count",
       build_file({stored_entry(text("ok")), compressed(codes({1, 257, 0xFFFFFFFDu}), 12)}),
       LS11_ERR_CORRUPT, text("ok")},
      {"largest distance code does not wrap",
       build_file({compressed(codes({1, 0xFFFFFFFDu, 0}), 20)}),
       LS11_ERR_CORRUPT,
       {}},
      {"control: the length that fills the block exactly",
       build_file({stored_entry(text("ok")), compressed(codes({1, 257, 9}), 13)}), LS11_OK,
       text("ok\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01")},
  });
}

TEST(HostileFiles, BackReferencesBeforeTheOutputStart) {
  run_cases({
      {"a back-reference as the first code",
       build_file({compressed(codes({257, 0, 1}), 4)}),
       LS11_ERR_CORRUPT,
       {}},
      {"distance one past the bytes written",
       build_file({compressed(codes({1, 2, 3, 256 + 4, 0}), 6)}),
       LS11_ERR_CORRUPT,
       {}},
      {"a block cannot reach back into the previous block",
       build_file({stored_entry(text("abcdef")), compressed(codes({259, 1}), 4)}), LS11_ERR_CORRUPT,
       text("abcdef")},
      {"control: distance equal to the bytes written",
       build_file({compressed(codes({'x', 'y', 'z', 259, 0}), 6)}), LS11_OK, text("xyzxyz")},
  });
}

TEST(HostileFiles, AllocationsSizedFromUntrustedHeaders) {
  // A stored entry of 4 GiB - 1 between real ones; the sizes add up to the
  // file's length modulo 2^32.
  Bytes huge_stored = build_file({stored_entry(text("hello")), stored_entry({}), stored_entry({})});
  patch_entry(huge_stored, 1, 0xFFFFFFFFu, 0xFFFFFFFFu, 317);
  patch_entry(huge_stored, 2, 1, 1, 316);
  Bytes offset_zero = build_file({stored_entry(text("hello"))});
  set_offset(offset_zero, 0, 0);
  Bytes offset_max = build_file({stored_entry(text("hello"))});
  set_offset(offset_max, 0, 0xFFFFFFFFu);
  Bytes count_zero = build_file({stored_entry(text("hello"))});
  set_offset(count_zero, 0, 287);
  run_cases({
      {"unpacked_size of 4 GiB - 1 in a small file",
       build_file({compressed(codes({1, 256}), 0xFFFFFFFFu)}),
       LS11_ERR_CORRUPT,
       {}},
      {"packed_size of 4 GiB - 1 in a small file", huge_stored, LS11_ERR_CORRUPT, text("hello")},
      {"first data_offset 0: a table of 4 GiB", offset_zero, LS11_ERR_FORMAT, {}},
      {"first data_offset 0xFFFFFFFF: a table of 4 GiB", offset_max, LS11_ERR_FORMAT, {}},
      {"first data_offset 287: count 0", count_zero, LS11_ERR_FORMAT, {}},
  });
}

TEST(HostileFiles, TruncatedTablesAndBlocks) {
  Bytes header_only = text("LS11");
  header_only.resize(16, 0);
  Bytes short_of_entry0 = build_file({stored_entry(text("hello"))});
  short_of_entry0.resize(283);
  Bytes table_past_end = build_file({stored_entry(text("hello"))});
  set_offset(table_past_end, 0, 276 + 12 * 40);
  Bytes stored_past_end = build_file({stored_entry(text("hello")), stored_entry(text("world"))});
  set_offset(stored_past_end, 1, size32(stored_past_end) - 2);
  Bytes compressed_past_end =
      build_file({stored_entry(text("hello")), compressed(codes({'x', 'y', 'z', 259, 0}), 6)});
  set_offset(compressed_past_end, 1, size32(compressed_past_end) - 3);
  Bytes one_byte_short = build_file({stored_entry(text("hello")), stored_entry(text("world"))});
  one_byte_short.pop_back();
  run_cases({
      {"not a header at all", text("LS11 but not zeros"), LS11_ERR_FORMAT, {}, false},
      {"a header of 15 bytes",
       Bytes(header_only.begin(), header_only.end() - 1),
       LS11_ERR_FORMAT,
       {},
       false},
      {"a recognised header alone", header_only, LS11_ERR_FORMAT, {}},
      {"too short for entry 0", short_of_entry0, LS11_ERR_FORMAT, {}},
      {"a table running past the end", table_past_end, LS11_ERR_FORMAT, {}},
      {"a stored block running past the end", stored_past_end, LS11_ERR_CORRUPT, text("hello")},
      {"a compressed block running past the end", compressed_past_end, LS11_ERR_CORRUPT,
       text("hello")},
      {"a file one byte short of its table", one_byte_short, LS11_ERR_FORMAT, {}},
  });
}

TEST(HostileFiles, ReadsOfNeverFilledBuffers) {
  // The second block starts two bytes before the end: a conversion that used
  // the short read would decode or copy what the first block left in the
  // packed buffer.
  const Bytes letters = text("ABCDEFGHIJKLMNOPQRST");
  Bytes stale_stored = build_file({stored_entry(letters), stored_entry(text("abcde"))});
  set_offset(stale_stored, 1, size32(stale_stored) - 2);
  Bytes stale_compressed =
      build_file({stored_entry(letters), compressed(codes({'x', 'y', 'z', 259, 0}), 6)});
  set_offset(stale_compressed, 1, size32(stale_compressed) - 2);
  Bytes empty_at_end = build_file({stored_entry(text("hello")), stored_entry({})});
  set_offset(empty_at_end, 1, size32(empty_at_end));
  Bytes empty_past_end = build_file({stored_entry(text("hello")), stored_entry({})});
  set_offset(empty_past_end, 1, size32(empty_past_end) + 1);
  run_cases({
      {"a stored block cut short after a larger one", stale_stored, LS11_ERR_CORRUPT, letters},
      {"a compressed block cut short after a larger one", stale_compressed, LS11_ERR_CORRUPT,
       letters},
      {"control: an empty block at the very end", empty_at_end, LS11_OK, text("hello")},
      {"an empty block past the end", empty_past_end, LS11_ERR_CORRUPT, text("hello")},
      {"control: packed bytes that decode to nothing",
       build_file({compressed(Bytes(3, 0xFF), 0), stored_entry(text("hi"))}), LS11_OK, text("hi")},
  });
}

TEST(HostileFiles, LongOneBitRuns) {
  BitWriter thirty_one;
  put_value(thirty_one, 1);
  put_bits(thirty_one, (uint64_t{1} << 31) - 1, 31);
  put_bits(thirty_one, 0, 40);
  run_cases({
      {"31 one-bits in a code",
       build_file({compressed(thirty_one.bytes, 2)}),
       LS11_ERR_CORRUPT,
       {}},
      {"a block of nothing but one-bits",
       build_file({compressed(Bytes(16, 0xFF), 4)}),
       LS11_ERR_CORRUPT,
       {}},
      {"30 one-bits: a distance far past the start",
       build_file({compressed(codes({1, 0x80000000u, 0}), 4)}),
       LS11_ERR_CORRUPT,
       {}},
      {"a run of one-bits cut by the end of the block",
       build_file({compressed(codes({1}, 20), 2)}),
       LS11_ERR_CORRUPT,
       {}},
      {"control: a 32-bit length code",
       build_file({compressed(codes({'a', 257, 65536}), 1 + 65539)}), LS11_OK, Bytes(65540, 'a')},
  });
}

}  // namespace
