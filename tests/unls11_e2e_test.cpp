// Runs the unls11 binary in a scratch folder and compares everything it
// prints, its exit status and the files it leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "ls11.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"

namespace {

namespace fs = std::filesystem;

const std::string kTool = UNLS11_PATH;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// What good_file(content) decodes to: "<", the content, and three more
// bytes repeating it.
std::string decoded_of(const std::string& content) {
  std::string out = content;
  for (size_t i = 0; i < 3; ++i) out.push_back(out[i]);
  return "<" + out;
}

// A good file: a stored block and a compressed one with a back-reference.
Bytes good_file(const std::string& content) {
  BitWriter w;
  for (char c : content) put_literal(w, static_cast<uint8_t>(c));
  put_match(w, static_cast<uint32_t>(content.size()), 3);
  return build_file(
      {stored_entry(text("<")), compressed_entry(w, static_cast<uint32_t>(content.size() + 3))});
}

class Unls11Test : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = make_temp_folder(); }
  void TearDown() override { remove_tree(folder_); }

  void put(const std::string& name, const Bytes& bytes) {
    fs::create_directories(fs::path(folder_ + "/" + name).parent_path());
    ASSERT_TRUE(write_file_bytes(folder_ + "/" + name, bytes));
  }
  std::string read(const std::string& name) {
    Bytes b = read_file_bytes(folder_ + "/" + name);
    return std::string(b.begin(), b.end());
  }
  bool exists(const std::string& name) { return fs::exists(folder_ + "/" + name); }

  ToolRun run(const std::vector<std::string>& args) { return run_tool(kTool, args, folder_); }

  // Runs and checks the whole standard output, an empty standard error and
  // exit status 0.
  void expect_batch(const std::vector<std::string>& args, const std::string& report) {
    ToolRun r = run(args);
    EXPECT_EQ(r.out, report);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_status, 0);
  }

  std::string folder_;
};

TEST_F(Unls11Test, NoArgumentsPrintsUsageAndExitsOne) {
  ToolRun r = run({});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "unls11 - LS11 file decoder, version " LS11_VERSION_STRING
                   "\n"
                   "ls11kit, released 2026-12-09\n"
                   "Usage: " +
                       kTool + " FILE ...\n");
}

TEST_F(Unls11Test, MissingUnrecognisedAndGoodFiles) {
  put("bad.LS11", text("this is not an encoded file"));
  put("good.LS11", good_file("hello"));
  expect_batch({"missing.LS11", "bad.LS11", "good.LS11"},
               "missing.LS11 : Cannot open the encoded file!\n"
               "bad.LS11 : Unsupported encoded file type!\n"
               "good.LS11 : OK.\n"
               "\nTotal targets: 3, Succeeded: 1, Failed: 2\n");
  EXPECT_EQ(read("good.LS11.DEC"), decoded_of("hello"));
  EXPECT_FALSE(exists("missing.LS11.DEC"));
  EXPECT_FALSE(exists("bad.LS11.DEC"));
}

TEST_F(Unls11Test, EveryStatusMessage) {
  Bytes truncated = good_file("abc");
  truncated.pop_back();
  Bytes broken = build_file({stored_entry(text("kept")), stored_entry(text("xx"))});
  broken[16 + 256 + 12] = 0;          // second entry: packed 0x00000002 -> still 2
  set_be32(broken, 272 + 12 + 4, 5);  // compressed now: "xx" does not decode to 5 bytes
  put("t.LS11", truncated);
  put("b.LS11", broken);
  fs::create_directory(folder_ + "/out.LS11.DEC");  // output path taken by a directory
  put("out.LS11", good_file("abc"));
  expect_batch({"t.LS11", "b.LS11", "out.LS11"},
               "t.LS11 : Unsupported encoded file type!\n"
               "b.LS11 : Failed to decode the file!\n"
               "out.LS11 : Cannot write the decoded file!\n"
               "\nTotal targets: 3, Succeeded: 0, Failed: 3\n");
  EXPECT_EQ(read("t.LS11.DEC"), "");
  EXPECT_EQ(read("b.LS11.DEC"), "kept");
}

TEST_F(Unls11Test, SamePathTwiceAndDecSuffix) {
  put("a.LS11", good_file("xyz"));
  put("b.DEC", good_file("dec"));
  expect_batch({"a.LS11", "a.LS11", "b.DEC"},
               "a.LS11 : OK.\na.LS11 : OK.\nb.DEC : OK.\n"
               "\nTotal targets: 3, Succeeded: 3, Failed: 0\n");
  EXPECT_EQ(read("a.LS11.DEC"), decoded_of("xyz"));
  EXPECT_EQ(read("b.DEC.DEC"), decoded_of("dec"));
}

TEST_F(Unls11Test, PatternsAreExpandedInFoldedOrderInPlace) {
  for (const char* name : {"b.LS11", "A.LS11", "c.LS11", "_u.LS11", ".hidden.LS11"})
    put(name, good_file(name));
  put("other.txt", text("not matched"));
  // The pattern reaches the program unexpanded, as a quoted one would.
  expect_batch({"c.LS11", "*.LS11", "other.txt"},
               "c.LS11 : OK.\n"
               ".hidden.LS11 : OK.\n"
               "_u.LS11 : OK.\n"
               "A.LS11 : OK.\n"
               "b.LS11 : OK.\n"
               "c.LS11 : OK.\n"
               "other.txt : Unsupported encoded file type!\n"
               "\nTotal targets: 7, Succeeded: 6, Failed: 1\n");
  EXPECT_EQ(read("A.LS11.DEC"), decoded_of("A.LS11"));
}

TEST_F(Unls11Test, PatternWithDirectoryPartAndQuestionMark) {
  put("sub/x1.LS11", good_file("one"));
  put("sub/x2.LS11", good_file("two"));
  put("sub/x10.LS11", good_file("ten"));
  expect_batch({"sub/x?.LS11"},
               "sub/x1.LS11 : OK.\nsub/x2.LS11 : OK.\n"
               "\nTotal targets: 2, Succeeded: 2, Failed: 0\n");
  EXPECT_EQ(read("sub/x2.LS11.DEC"), decoded_of("two"));
  EXPECT_FALSE(exists("sub/x10.LS11.DEC"));
}

TEST_F(Unls11Test, PatternMatchingNothingStaysAsTyped) {
  expect_batch({"none*.LS11", "sub/*"},
               "none*.LS11 : Cannot open the encoded file!\n"
               "sub/* : Cannot open the encoded file!\n"
               "\nTotal targets: 2, Succeeded: 0, Failed: 2\n");
}

TEST_F(Unls11Test, DirectoryMatchFailsToOpen) {
  fs::create_directory(folder_ + "/dir1");
  put("dir2.LS11", good_file("d2"));
  expect_batch({"dir*"},
               "dir1 : Cannot open the encoded file!\n"
               "dir2.LS11 : OK.\n"
               "\nTotal targets: 2, Succeeded: 1, Failed: 1\n");
  EXPECT_FALSE(exists("dir1.DEC"));
}

}  // namespace
