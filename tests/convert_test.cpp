#include "unls11/convert_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "container/read_container.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"

using namespace ls11;

namespace {

namespace fs = std::filesystem;

// A block of three literals and a back-reference: "abcabcabc".
TestEntry abc_entry() {
  BitWriter w;
  put_literal(w, 'a');
  put_literal(w, 'b');
  put_literal(w, 'c');
  put_match(w, 3, 6);
  return compressed_entry(w, 9);
}

// A compressed block that fails: the value 256.
TestEntry broken_entry() {
  BitWriter w;
  put_literal(w, 'x');
  put_value(w, 256);
  return compressed_entry(w, 5);
}

Bytes text(const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Outcome {
  bool ok;
  int status;
  bool output_exists;
  Bytes output;
};

class ConvertTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = make_temp_folder(); }
  void TearDown() override { remove_tree(folder_); }

  std::string path(const std::string& name) const { return folder_ + "/" + name; }

  Outcome convert(const Bytes& file) {
    EXPECT_TRUE(write_file_bytes(path("in.LS11"), file));
    return convert_path(path("in.LS11"), path("in.LS11.DEC"));
  }

  Outcome convert_path(const std::string& in, const std::string& out) {
    g_status = LS11_OK;
    Outcome o;
    o.ok = convert_file(in.c_str(), out.c_str());
    o.status = g_status;
    o.output_exists = fs::exists(out);
    if (o.output_exists) o.output = read_file_bytes(out);
    return o;
  }

  std::string folder_;
};

TEST_F(ConvertTest, AllThreeVersionsConvertAlike) {
  const std::vector<TestEntry> entries = {stored_entry(text("stored!")), abc_entry(),
                                          stored_entry({})};
  for (char digit : {'0', '1', '2'}) {
    SCOPED_TRACE(digit);
    Outcome o = convert(build_file(entries, digit));
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.status, LS11_OK);
    EXPECT_EQ(o.output, text("stored!abcabcabc"));
  }
}

TEST_F(ConvertTest, DetectVersionReadsHeaderAndRestoresPosition) {
  Bytes file = build_file({stored_entry(text("x"))}, '2');
  ASSERT_TRUE(write_file_bytes(path("v.LS12"), file));
  std::FILE* f = std::fopen(path("v.LS12").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(detect_format(f), 12);
  EXPECT_EQ(std::ftell(f), 0);
  std::fclose(f);
}

// Files whose header is not recognised: status 3 and no output file.
TEST_F(ConvertTest, UnrecognisedHeadersCreateNoOutput) {
  const Bytes good = build_file({abc_entry()});
  std::vector<std::pair<std::string, Bytes>> cases;
  Bytes v3 = good;
  v3[3] = '3';
  cases.push_back({"version 3", v3});
  Bytes lower = good;
  lower[0] = 'l';
  lower[1] = 's';
  cases.push_back({"lower-case magic", lower});
  for (size_t i = 4; i < 16; ++i) {
    Bytes b = good;
    b[i] = 1;
    cases.push_back({"nonzero header byte " + std::to_string(i), b});
  }
  cases.push_back({"15 bytes", Bytes(good.begin(), good.begin() + 15)});
  cases.push_back({"empty file", {}});
  cases.push_back({"LS13", text("LS13\0\0\0\0\0\0\0\0\0\0\0\0")});
  for (auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    Outcome o = convert(bytes);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.status, LS11_ERR_FORMAT);
    EXPECT_FALSE(o.output_exists);
  }
}

TEST_F(ConvertTest, MissingFileOrDirectoryIsStatusOneWithoutOutput) {
  Outcome missing = convert_path(path("nothing.LS11"), path("nothing.LS11.DEC"));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.status, LS11_ERR_OPEN);
  EXPECT_FALSE(missing.output_exists);

  fs::create_directory(path("dir.LS11"));
  Outcome dir = convert_path(path("dir.LS11"), path("dir.LS11.DEC"));
  EXPECT_FALSE(dir.ok);
  EXPECT_EQ(dir.status, LS11_ERR_OPEN);
  EXPECT_FALSE(dir.output_exists);
}

// Recognised files the layout rejects: status 3, and the output file,
// created once the header was recognised, stays behind empty.
TEST_F(ConvertTest, RejectedLayoutsLeaveAnEmptyOutput) {
  const Bytes good = build_file({stored_entry(text("hello")), abc_entry()});
  std::vector<std::pair<std::string, Bytes>> cases;
  for (size_t size : {16, 100, 271, 272, 276, 283}) {
    cases.push_back({"truncated to " + std::to_string(size),
                     Bytes(good.begin(), good.begin() + static_cast<long>(size))});
  }
  for (uint32_t first_offset : {276u, 287u, 0u, 275u, 100000u, 0xFFFFFFFFu}) {
    Bytes b = good;
    set_be32(b, 280, first_offset);
    cases.push_back({"first data_offset " + std::to_string(first_offset), b});
  }
  Bytes longer = good;
  longer.push_back(0);
  cases.push_back({"one byte too many", longer});
  cases.push_back({"one byte too few", Bytes(good.begin(), good.end() - 1)});
  Bytes bigger = good;
  set_be32(bigger, 272, 6);  // first packed_size one more than stored
  cases.push_back({"packed sizes exceed the file", bigger});
  for (auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    Outcome o = convert(bytes);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.status, LS11_ERR_FORMAT);
    EXPECT_TRUE(o.output_exists);
    EXPECT_TRUE(o.output.empty());
  }
}

TEST_F(ConvertTest, LengthRuleWrapsAroundAt32Bits) {
  // Packed sizes 4 + 0xFFFFFFFF + 2 sum to 5 modulo 2^32: the file holds 5
  // bytes of blocks and passes the length rule; the second block is not in
  // the file, so the output keeps the first and the status is 4.
  TestEntry first = stored_entry(text("abcd"));
  TestEntry huge;
  huge.unpacked_size = 5;
  TestEntry small;
  small.unpacked_size = 9;
  Bytes file = build_file({first, huge, small});
  file.push_back('z');
  set_be32(file, 272 + 12, 0xFFFFFFFFu);
  set_be32(file, 272 + 24, 2);
  Outcome o = convert(file);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.status, LS11_ERR_CORRUPT);
  EXPECT_EQ(o.output, text("abcd"));
}

TEST_F(ConvertTest, StoredAndEmptyBlocks) {
  // Equal sizes mean stored, whatever the bytes look like.
  Bytes ones(50, 0xFF);
  Outcome stored =
      convert(build_file({stored_entry(ones), stored_entry({}), stored_entry(text("end"))}));
  EXPECT_TRUE(stored.ok);
  EXPECT_EQ(stored.output, concat({ones, text("end")}));

  // 288 bytes: one entry with both sizes 0 at offset 288.
  Bytes empty = build_file({stored_entry({})});
  ASSERT_EQ(empty.size(), 288u);
  Outcome e = convert(empty);
  EXPECT_TRUE(e.ok);
  EXPECT_TRUE(e.output_exists);
  EXPECT_TRUE(e.output.empty());

  // Unpacked size 0 with packed bytes: compressed, decodes to nothing.
  TestEntry nothing;
  nothing.packed = {0xFF, 0xFF};
  Outcome n = convert(build_file({nothing, stored_entry(text("x"))}));
  EXPECT_TRUE(n.ok);
  EXPECT_EQ(n.output, text("x"));
}

TEST_F(ConvertTest, WorkedExampleWithItsDictionary) {
  Bytes dict(256, 0);
  dict[0] = 0x41;
  dict[1] = 0x42;
  TestEntry e;
  e.packed = {0x1F, 0xE0, 0x44};
  e.unpacked_size = 6;
  Outcome o = convert(build_file({e}, '1', dict));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.output, text("ABABAB"));
}

TEST_F(ConvertTest, OffsetsOutOfOrderOrSharedAreFollowedInTableOrder) {
  // The file holds the blocks "A", "B", "C"; the table lists A, C, B.
  Bytes file =
      build_file({stored_entry(text("A")), stored_entry(text("B")), stored_entry(text("C"))});
  const uint32_t blocks = 276 + 12 * 3;
  set_be32(file, 272 + 12 + 8, blocks + 2);
  set_be32(file, 272 + 24 + 8, blocks + 1);
  Outcome o = convert(file);
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.output, text("ACB"));

  // Entry 1 and entry 2 both read entry 1's bytes.
  TestEntry first = stored_entry(text("12"));
  TestEntry second = stored_entry(text("34"));
  TestEntry twin = stored_entry(text("34"));
  Bytes shared = build_file({first, second, twin});
  set_be32(shared, 272 + 24 + 8, 276 + 36 + 2);  // entry 2 -> entry 1's bytes
  Bytes patched = shared;
  patched[patched.size() - 2] = '5';  // entry 2's own bytes are never read
  Outcome s = convert(patched);
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.output, text("123434"));
}

TEST_F(ConvertTest, DecodeFailureKeepsEarlierBlocks) {
  Outcome o = convert(build_file(
      {stored_entry(text("one,")), abc_entry(), broken_entry(), stored_entry(text("four"))}));
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.status, LS11_ERR_CORRUPT);
  EXPECT_EQ(o.output, text("one,abcabcabc"));
}

TEST_F(ConvertTest, BlocksMustLieInsideTheFile) {
  // The length rule holds, but a block's offset points past the end: the
  // blocks before it are kept and the status is 4, stored or compressed.
  for (bool stored : {true, false}) {
    SCOPED_TRACE(stored ? "stored" : "compressed");
    TestEntry second = stored ? stored_entry(text("later")) : abc_entry();
    Bytes file = build_file({stored_entry(text("first")), second});
    const uint32_t length = static_cast<uint32_t>(file.size());
    set_be32(file, 272 + 12 + 8, length - 1);  // starts in the file, ends past it
    Outcome o = convert(file);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.status, LS11_ERR_CORRUPT);
    EXPECT_EQ(o.output, text("first"));
    set_be32(file, 272 + 12 + 8, 0xFFFFFFF0u);  // offset + size past 2^32
    o = convert(file);
    EXPECT_EQ(o.status, LS11_ERR_CORRUPT);
    EXPECT_EQ(o.output, text("first"));
  }
}

TEST_F(ConvertTest, BlocksNeverShareHistory) {
  // The second block's back-reference would reach into the first block.
  BitWriter w;
  put_literal(w, 'q');
  put_match(w, 2, 3);
  Outcome o = convert(build_file({stored_entry(text("xy")), compressed_entry(w, 4)}));
  EXPECT_EQ(o.status, LS11_ERR_CORRUPT);
  EXPECT_EQ(o.output, text("xy"));
}

TEST_F(ConvertTest, MisplacedFirstBlockIsReadWithAWrongCount) {
  // Entry 0's block starts 12 bytes after the closing word: the count comes
  // out one too high and the closing word and padding are taken as an
  // entry. That entry (all zeros) adds nothing, the extra table bytes make
  // the length rule hold, and the file converts.
  TestEntry e = stored_entry(text("data"));
  e.fixed_offset = true;
  e.data_offset = 276 + 12 + 12;
  Bytes file = build_file({e});
  file.insert(file.begin() + 288, 12, 0);
  Outcome o = convert(file);
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.output, text("data"));
  // With one more padding byte the length rule fails.
  file.insert(file.begin() + 288, 1, 0);
  set_be32(file, 280, 276 + 12 + 13);
  o = convert(file);
  EXPECT_EQ(o.status, LS11_ERR_FORMAT);
  EXPECT_TRUE(o.output.empty());
}

TEST_F(ConvertTest, ExistingOutputIsTruncated) {
  ASSERT_TRUE(write_file_bytes(path("in.LS11.DEC"), Bytes(1000, 'o')));
  Outcome o = convert(build_file({stored_entry(text("new"))}));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.output, text("new"));
}

TEST_F(ConvertTest, OutputThatCannotBeCreatedIsStatusTwo) {
  ASSERT_TRUE(write_file_bytes(path("in.LS11"), build_file({abc_entry()})));
  Outcome o = convert_path(path("in.LS11"), path("no-such-dir/in.LS11.DEC"));
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.status, LS11_ERR_WRITE);
  // An unrecognised file never gets as far as creating its output.
  ASSERT_TRUE(write_file_bytes(path("bad"), text("not an LS11 file at all")));
  Outcome bad = convert_path(path("bad"), path("no-such-dir/bad.DEC"));
  EXPECT_EQ(bad.status, LS11_ERR_FORMAT);
}

TEST_F(ConvertTest, WriteFailureIsReportedNotOk) {
#ifdef _WIN32
  GTEST_SKIP() << "needs /dev/full";
#else
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  fs::create_symlink("/dev/full", path("full.DEC"));
  // A small output fails when it is flushed at close, a large one at its
  // first write.
  for (size_t size : {size_t{10}, size_t{3} << 20}) {
    SCOPED_TRACE(size);
    ASSERT_TRUE(write_file_bytes(path("in.LS11"), build_file({stored_entry(Bytes(size, 'w'))})));
    // (Not through convert_path: reading /dev/full back never ends.)
    g_status = LS11_OK;
    EXPECT_FALSE(convert_file(path("in.LS11").c_str(), path("full.DEC").c_str()));
    EXPECT_EQ(g_status, LS11_ERR_WRITE);
  }
#endif
}

}  // namespace
