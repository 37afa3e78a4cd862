// File names beyond ASCII (game files often carry Japanese names) survive
// the command line, the wildcard search, the report and the output path.
#include <gtest/gtest.h>

#include "support/ls11_writer.h"
#include "support/run_tool.h"
#include "support/tool_report.h"
#include "support/utf8_path.h"

namespace {

const std::string kData = "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF.LS11";  // データ.LS11
const std::string kYoshinoya =
    "\xF0\xA0\xAE\xB7\xE9\x87\x8E\xE5\xAE\xB6.LS11";     // 𠮷野家.LS11, beyond the BMP
const std::string kFolder = "\xE8\xB3\x87\xE6\x96\x99";  // 資料
const char* const kOk = "OK.";

TEST(UnicodeNames, NamesGivenDirectlyAndThroughPatterns) {
  const std::string folder = make_temp_folder();
  const Bytes content = {'d', 'a', 't', 'a', 0, 0xFF};
  ASSERT_TRUE(write_file_bytes(folder + "/" + kData, build_file({stored_entry(content)})));
  ASSERT_TRUE(write_file_bytes(folder + "/" + kYoshinoya, build_file({stored_entry({7})})));
  ASSERT_TRUE(std::filesystem::create_directory(utf8_path(folder + "/" + kFolder)));
  ASSERT_TRUE(
      write_file_bytes(folder + "/" + kFolder + "/" + kData, build_file({stored_entry({8})})));

  const struct {
    std::vector<std::string> arguments;
    std::vector<ReportLine> lines;
  } cases[] = {
      {{kData}, {{kData, kOk}}},
      {{kYoshinoya}, {{kYoshinoya, kOk}}},
      // '?' stands for one character, not one byte.
      {{"?\xE3\x83\xBC\xE3\x82\xBF.LS11"}, {{kData, kOk}}},
      {{"*.LS11"}, {{kData, kOk}, {kYoshinoya, kOk}}},
      {{kFolder + "/*.LS11"}, {{kFolder + "/" + kData, kOk}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    const ToolRun run = run_tool(UNLS11_PATH, c.arguments, folder);
    EXPECT_EQ(run.out, expected_report(c.lines));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_status, 0);
  }
  EXPECT_EQ(read_file_bytes(folder + "/" + kData + ".DEC"), content);
  EXPECT_EQ(read_file_bytes(folder + "/" + kYoshinoya + ".DEC"), Bytes{7});
  remove_tree(folder);
}

}  // namespace
