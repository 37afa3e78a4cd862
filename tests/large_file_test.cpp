// Files over 4 GiB: offsets past 2 GiB and 4 GiB must be sought and the
// length told in 64 bits. The files are sparse (written only at the head,
// the far block and the last byte), so they cost little disk and time on
// file systems with holes.
#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "ls11.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"
#include "support/utf8_path.h"
#include "unls11/convert_file.h"

using namespace ls11;

namespace {

// Writes `bytes` at `offset`, past the current end if need be.
void write_at(std::fstream& file, uint64_t offset, const Bytes& bytes) {
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

TEST(LargeFile, BlocksBeyondTwoAndFourGibibytes) {
  // Two entries: the first block right after the table, the second far
  // out. The length rule counts modulo 2^32, so a file of 2^32 + 332 bytes
  // holds 32 bytes of blocks just as a 332-byte one would.
  const Bytes near_block = {'n', 'e', 'a', 'r', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const Bytes far_block = {'f', 'a', 'r', 0, 0xFF, 0xFE, 0xFD, 0xFC, 'e', 'n', 'd', 1, 2, 3, 4, 5};
  const uint64_t length = (uint64_t{1} << 32) + 332;
  Bytes expected = near_block;
  expected.insert(expected.end(), far_block.begin(), far_block.end());

  const std::string folder = make_temp_folder();
  const std::string path = folder + "/large.LS11";
  // 3 GiB, and 8 bytes before 4 GiB so that the block straddles it.
  for (const uint32_t far_offset : {0xC0000000u, 0xFFFFFFF8u}) {
    SCOPED_TRACE(far_offset);
    TestEntry far_entry = stored_entry(far_block);
    far_entry.fixed_offset = true;
    far_entry.data_offset = far_offset;
    Bytes head = build_file({stored_entry(near_block), far_entry});
    head.resize(300 + near_block.size());
    {
      std::fstream file(utf8_path(path),
                        std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
      write_at(file, 0, head);
      write_at(file, far_offset, far_block);
      write_at(file, length - 1, {0});
      ASSERT_TRUE(file.good());
    }
    ASSERT_EQ(std::filesystem::file_size(utf8_path(path)), length);

    g_status = LS11_OK;
    EXPECT_TRUE(convert_file(path.c_str(), (path + ".DEC").c_str()));
    EXPECT_EQ(g_status, LS11_OK);
    EXPECT_EQ(read_file_bytes(path + ".DEC"), expected);
  }
  remove_tree(folder);
}

// No LS11 file reaches 4 GiB, since its offsets and sizes are 32 bits: the
// library and ls11 refuse such a file although its length passes the
// wrap-around length rule, while unls11 converts as it always has.
TEST(LargeFile, FourGibibytesOrMoreIsNoLs11File) {
  const Bytes block = {'b', 'l', 'o', 'c', 'k'};
  TestEntry no_entries = stored_entry({});
  no_entries.fixed_offset = true;
  no_entries.data_offset = 276;  // a table of 0 entries
  const struct {
    const char* name;
    Bytes head;
    uint64_t length;
  } cases[] = {
      {"a valid file followed by 4 GiB of zeros", build_file({stored_entry(block)}),
       (uint64_t{1} << 32) + 293},
      {"a table of no entries", build_file({no_entries}), (uint64_t{1} << 32) + 276},
  };
  const std::string folder = make_temp_folder();
  const std::string path = folder + "/huge.LS11";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      std::fstream file(utf8_path(path),
                        std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
      write_at(file, 0, c.head);
      write_at(file, c.length - 1, {0});
      ASSERT_TRUE(file.good());
    }
    ls11_archive* archive = nullptr;
    EXPECT_EQ(ls11_open(path.c_str(), &archive), LS11_ERR_FORMAT);
    EXPECT_EQ(archive, nullptr);
    ls11_reason reason{};
    EXPECT_EQ(ls11_open_with_reason(path.c_str(), &archive, &reason), LS11_ERR_FORMAT);
    EXPECT_EQ(reason.code, LS11_REASON_TOO_LONG);
    EXPECT_EQ(reason.found, c.length);
    EXPECT_EQ(reason.expected, uint64_t{UINT32_MAX});
#ifndef _WIN32
    const int fd = open(path.c_str(), O_RDONLY);
    void* data = mmap(nullptr, c.length, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    ASSERT_NE(data, MAP_FAILED);
    EXPECT_EQ(ls11_open_memory(data, c.length, &archive), LS11_ERR_FORMAT);
    munmap(data, c.length);
#endif
    const ToolRun r = run_tool(LS11_PATH, {"verify", "huge.LS11"}, folder);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "ls11: huge.LS11: Unsupported encoded file type! (the file is " +
                         std::to_string(c.length) +
                         " bytes long, longer than an LS11 file can be (4294967295))\n");
  }
  // Control: the same file at its own length opens.
  std::filesystem::resize_file(utf8_path(path), 293);
  {
    std::fstream file(utf8_path(path), std::ios::binary | std::ios::in | std::ios::out);
    write_at(file, 0, cases[0].head);
  }
  ls11_archive* archive = nullptr;
  EXPECT_EQ(ls11_open(path.c_str(), &archive), LS11_OK);
  ls11_close(archive);
  remove_tree(folder);
}

}  // namespace
