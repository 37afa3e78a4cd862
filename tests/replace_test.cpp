// ls11_replace: the replaced entries decode (by the reference decoder) to
// their new bytes, every other entry's packed bytes, the version and the
// dictionary stay byte for byte, and bad requests change nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ls11.h"
#include "support/api_read.h"
#include "support/ls11_writer.h"
#include "support/reference_decoder.h"
#include "support/run_tool.h"

namespace {

Bytes reference_decode(const FileBlock& block, const uint8_t* dictionary) {
  if (block.packed.size() == block.unpacked_size) return block.packed;
  Bytes out(block.unpacked_size);
  EXPECT_TRUE(reference_decode_block(block.packed.data(),
                                     static_cast<uint32_t>(block.packed.size()), dictionary,
                                     out.data(), block.unpacked_size));
  return out;
}

// Bytes 128 to 255 have no literal code in this dictionary.
Bytes ascii_dictionary() {
  Bytes d(256, 'a');
  for (int i = 0; i < 128; ++i) d[i] = static_cast<uint8_t>(i);
  return d;
}

// Compressed and stored entries, one of them empty, version 12.
Bytes original_file() {
  BitWriter x, hello;
  put_literal(x, 'x');
  put_match(x, 1, 20);
  for (const char c : std::string("hello")) put_literal(hello, static_cast<uint8_t>(c));
  put_match(hello, 5, 10);
  const Bytes stored = {'s', 't', 'o', 'r', 'e', 'd'};
  return build_file({compressed_entry(x, 21), stored_entry(stored), compressed_entry(hello, 15),
                     stored_entry({})},
                    '2', ascii_dictionary());
}

Bytes long_text() {
  std::string s;
  for (int i = 0; i < 80; ++i) s += "line " + std::to_string(i) + ": castle, army, rice\n";
  return Bytes(s.begin(), s.end());
}

struct NewEntry {
  uint32_t index;
  Bytes data;
  bool stored;  // expected: not smaller packed, or a byte without a code
};

struct ReplaceCase {
  const char* name;
  std::vector<NewEntry> entries;
};

// Runs ls11_replace on the original opened from memory and from a file.
void check_replace(const ReplaceCase& c, ls11_archive* archive, const Bytes& original) {
  std::vector<ls11_replacement> given;
  for (const NewEntry& e : c.entries) given.push_back({e.index, e.data.data(), e.data.size()});
  void* out = nullptr;
  size_t out_size = 0;
  ASSERT_EQ(ls11_replace(archive, given.data(), static_cast<uint32_t>(given.size()), &out,
                         &out_size),
            LS11_OK);
  const Bytes file(static_cast<uint8_t*>(out), static_cast<uint8_t*>(out) + out_size);
  ls11_free(out);
  // Through a callback, the same bytes.
  Collected written;
  ls11_reason reason{-1, 0, 0, 0, 0};
  EXPECT_EQ(ls11_replace_to(archive, given.data(), static_cast<uint32_t>(given.size()), collect,
                            &written, &reason),
            LS11_OK);
  EXPECT_EQ(written.bytes, file);
  EXPECT_EQ(reason.code, LS11_REASON_NONE);
  EXPECT_TRUE(
      std::equal(original.begin(), original.begin() + 272, file.begin()));  // version, dictionary
  const std::vector<FileBlock> before = file_blocks(original), after = file_blocks(file);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    SCOPED_TRACE(i);
    const NewEntry* replaced = nullptr;
    for (const NewEntry& e : c.entries) replaced = e.index == i ? &e : replaced;
    if (!replaced) {
      EXPECT_EQ(after[i].packed, before[i].packed);
      EXPECT_EQ(after[i].unpacked_size, before[i].unpacked_size);
      continue;
    }
    EXPECT_EQ(reference_decode(after[i], file.data() + 16), replaced->data);
    EXPECT_EQ(after[i].packed.size() == replaced->data.size(), replaced->stored);
  }
}

TEST(Replace, KeepsOtherBlocksAndDecodesToNewBytes) {
  const Bytes original = original_file();
  const std::string folder = make_temp_folder();
  const std::string path = folder + "/original.LS12";
  ASSERT_TRUE(write_file_bytes(path, original));
  const Bytes high(300, 0xFF);
  const std::vector<ReplaceCase> cases = {
      {"longer", {{0, long_text(), false}}},
      {"shorter", {{2, {'h', 'i'}, true}}},
      {"a byte without a code", {{1, high, true}}},
      {"several, out of order, one empty", {{3, long_text(), false}, {0, {}, true}}},
      {"none", {}},
  };
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    ls11_archive* in_memory = nullptr;
    ls11_archive* on_disk = nullptr;
    ASSERT_EQ(ls11_open_memory(original.data(), original.size(), &in_memory), LS11_OK);
    ASSERT_EQ(ls11_open(path.c_str(), &on_disk), LS11_OK);
    check_replace(c, in_memory, original);
    check_replace(c, on_disk, original);
    // The archive reads its own entries as before.
    Bytes entry(15);
    EXPECT_EQ(ls11_read_entry(on_disk, 2, entry.data(), entry.size()), LS11_OK);
    EXPECT_EQ(std::string(entry.begin(), entry.end()), "hellohellohello");
    ls11_close(in_memory);
    ls11_close(on_disk);
  }
  remove_tree(folder);
}

TEST(Replace, RefusesBadRequestsAndDamagedFiles) {
  Bytes damaged = original_file();
  damaged[read_be32(damaged, 272 + 24 + 8)] = 0xFF;  // entry 2: its first code runs past the block
  const uint8_t byte = 'z';
  struct Case {
    const char* name;
    std::vector<ls11_replacement> given;
    ls11_status expected;
    int reason;  // with the entry it names
    uint32_t entry;
  };
  const std::vector<Case> cases = {
      {"index past the end", {{4, &byte, 1}}, LS11_ERR_ARGUMENT, LS11_REASON_NO_SUCH_ENTRY, 4},
      {"the same index twice",
       {{1, &byte, 1}, {1, &byte, 1}},
       LS11_ERR_ARGUMENT,
       LS11_REASON_NAMED_TWICE,
       1},
      {"no data", {{1, nullptr, 1}}, LS11_ERR_ARGUMENT, LS11_REASON_ARGUMENT, 1},
      {"a damaged entry kept", {{1, &byte, 1}}, LS11_ERR_CORRUPT, LS11_REASON_BLOCK_CORRUPT, 2},
      {"the damaged entry replaced", {{2, &byte, 1}}, LS11_OK, LS11_REASON_NONE, LS11_NO_ENTRY},
  };
  ls11_archive* archive = nullptr;
  ASSERT_EQ(ls11_open_memory(damaged.data(), damaged.size(), &archive), LS11_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* out = &archive;
    size_t out_size = 1;
    EXPECT_EQ(ls11_replace(archive, c.given.data(), static_cast<uint32_t>(c.given.size()), &out,
                           &out_size),
              c.expected);
    EXPECT_EQ(out == nullptr, c.expected != LS11_OK);
    EXPECT_EQ(out_size == 0, c.expected != LS11_OK);
    ls11_free(c.expected == LS11_OK ? out : nullptr);
    // Through a callback: which replacement or kept entry failed, and
    // nothing written before it is known.
    Collected written;
    ls11_reason reason{-1, 0, 0, 0, 0};
    EXPECT_EQ(ls11_replace_to(archive, c.given.data(), static_cast<uint32_t>(c.given.size()),
                              collect, &written, &reason),
              c.expected);
    EXPECT_EQ(reason.code, c.reason);
    EXPECT_EQ(reason.entry, c.entry);
    EXPECT_EQ(written.pieces == 0, c.expected != LS11_OK);
    // A callback that takes the header only: a write failure, said so
    // where a reason is asked for.
    for (ls11_reason* asked : {&reason, static_cast<ls11_reason*>(nullptr)}) {
      if (c.expected != LS11_OK) break;
      written = Collected{{}, 0, 16};
      reason.code = -1;
      EXPECT_EQ(ls11_replace_to(archive, c.given.data(), static_cast<uint32_t>(c.given.size()),
                                collect, &written, asked),
                LS11_ERR_WRITE);
      EXPECT_EQ(reason.code, asked ? LS11_REASON_WRITE_REFUSED : -1);
      EXPECT_EQ(written.bytes.size(), 16u);
    }
  }
  void* out = nullptr;
  size_t out_size = 0;
  EXPECT_EQ(ls11_replace(nullptr, nullptr, 0, &out, &out_size), LS11_ERR_ARGUMENT);
  EXPECT_EQ(ls11_replace(archive, nullptr, 1, &out, &out_size), LS11_ERR_ARGUMENT);
  ls11_close(archive);
}

}  // namespace
