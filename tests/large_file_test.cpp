// Files over 4 GiB: offsets past 2 GiB and 4 GiB must be sought and the
// length told in 64 bits. The files are sparse (written only at the head,
// the far block and the last byte), so they cost little disk and time on
// file systems with holes.
#include <gtest/gtest.h>

#include <fstream>

#include "unls11/convert_file.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"
#include "support/utf8_path.h"

using namespace ls11;

namespace {

// Writes `bytes` at `offset`, past the current end if need be.
void write_at(std::fstream& file, uint64_t offset, const Bytes& bytes) {
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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
      std::fstream file(utf8_path(path), std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
      write_at(file, 0, head);
      write_at(file, far_offset, far_block);
      write_at(file, length - 1, {0});
      ASSERT_TRUE(file.good());
    }
    ASSERT_EQ(std::filesystem::file_size(utf8_path(path)), length);

    g_status = STATUS_OK;
    EXPECT_TRUE(convert_file(path.c_str(), (path + ".DEC").c_str()));
    EXPECT_EQ(g_status, STATUS_OK);
    EXPECT_EQ(read_file_bytes(path + ".DEC"), expected);
  }
  remove_tree(folder);
}

}  // namespace
