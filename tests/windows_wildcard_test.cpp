// The wildcard expansion as a Windows user meets it: backslashes and drive
// prefixes in patterns, hidden entries, and patterns that must reach the
// program unexpanded by the C runtime, quoted or not.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/ls11_writer.h"
#include "support/run_tool.h"
#include "support/tool_report.h"
#include "support/utf8_path.h"

namespace {

const char* const kOk = "OK.";
const char* const kCannotOpen = "Cannot open the encoded file!";

class WindowsWildcard : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = make_temp_folder(); }
  void TearDown() override { remove_tree(folder_); }

  void make_file(const std::string& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const std::string path = folder_ + "/" + relative;
    ASSERT_TRUE(write_file_bytes(path, build_file({stored_entry({1, 2, 3})})));
    ASSERT_TRUE(SetFileAttributesW(utf8_path(path).c_str(), attributes));
  }
  void make_folder(const std::string& relative) {
    ASSERT_TRUE(std::filesystem::create_directories(utf8_path(folder_ + "/" + relative)));
  }
  void expect_report(const std::vector<std::string>& arguments,
                     const std::vector<ReportLine>& lines) {
    const ToolRun run = run_tool(UNLS11_PATH, arguments, folder_);
    EXPECT_EQ(run.out, expected_report(lines));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_status, 0);
  }

  std::string folder_;
};

TEST_F(WindowsWildcard, BackslashPatternListsHiddenEntriesInFoldedOrder) {
  make_folder("data/d.LS11");
  make_file("data/b.LS11");
  make_file("data/A.ls11");
  make_file("data/.dot.LS11");
  make_file("data/hidden.LS11", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  make_file("data/c.LS11");
  make_file("data/other.txt");
  // Windows names match without regard to case, so A.ls11 is found too.
  expect_report({"data\\*.LS11"}, {{"data\\.dot.LS11", kOk},
                                   {"data\\A.ls11", kOk},
                                   {"data\\b.LS11", kOk},
                                   {"data\\c.LS11", kOk},
                                   {"data\\d.LS11", kCannotOpen},
                                   {"data\\hidden.LS11", kOk}});
  EXPECT_EQ(read_file_bytes(folder_ + "/data/hidden.LS11.DEC"), (Bytes{1, 2, 3}));
}

TEST_F(WindowsWildcard, DrivePrefixPatternSearchesTheDrivesCurrentFolder) {
  const std::string drive = folder_.substr(0, 2);
  if (drive.size() != 2 || drive[1] != ':') GTEST_SKIP() << "temporary folder has no drive letter";
  make_file("b.LS11");
  make_file("A.LS11");
  make_folder("sub");
  make_file("sub/c.LS11");
  expect_report({drive + "*.LS11", drive + "sub\\*"},
                {{drive + "A.LS11", kOk}, {drive + "b.LS11", kOk}, {drive + "sub\\c.LS11", kOk}});
}

TEST_F(WindowsWildcard, SlashesAndMixedSeparatorsKeptAsTyped) {
  make_folder("sub/inner");
  make_file("sub/x.LS11");
  make_file("sub/Y.LS11");
  expect_report({"sub/*", ".\\sub/*.LS11", "sub/.*"}, {{"sub/inner", kCannotOpen},
                                                       {"sub/x.LS11", kOk},
                                                       {"sub/Y.LS11", kOk},
                                                       {".\\sub/x.LS11", kOk},
                                                       {".\\sub/Y.LS11", kOk},
                                                       {"sub/.*", kCannotOpen}});
}

// The C runtime, when its own expansion is on, expands unquoted patterns
// sorted with letters folded to upper case ("mapB" before "map_a") and
// leaves quoted ones alone; the program's expansion handles both the same
// way, with letters folded to lower case.
TEST_F(WindowsWildcard, PatternsReachTheProgramUnexpanded) {
  make_file("mapB.LS11");
  make_file("map_a.LS11");
  make_folder("my files");
  make_file("my files/mapB.LS11");
  make_file("my files/map_a.LS11");
  // The argument with a blank is passed quoted.
  expect_report({"map*.LS11", "my files\\map*.LS11", "none\\*.LS11"},
                {{"map_a.LS11", kOk},
                 {"mapB.LS11", kOk},
                 {"my files\\map_a.LS11", kOk},
                 {"my files\\mapB.LS11", kOk},
                 {"none\\*.LS11", kCannotOpen}});
}

// ls11 expands no pattern itself; on Windows the C runtime does it for it,
// as a POSIX shell would.
TEST_F(WindowsWildcard, Ls11GetsPatternsExpandedByTheRuntime) {
  make_file("b.LS11");
  make_file("A.LS11");
  make_folder("sub");
  make_file("sub/c.LS11");
  const ToolRun run = run_tool(LS11_PATH, {"verify", "*.LS11", "sub\\*.LS11"}, folder_);
  EXPECT_EQ(run.out, "A.LS11: OK.\nb.LS11: OK.\nsub\\c.LS11: OK.\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_status, 0);
}

}  // namespace
