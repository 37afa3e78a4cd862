// The bundled samples decode to the bytes kept beside them.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/ls11_writer.h"
#include "support/run_tool.h"
#include "unls11/convert_file.h"

using namespace ls11;

namespace {

namespace fs = std::filesystem;

TEST(Samples, EachDecodesToItsExpectedBytes) {
  const std::string folder = make_temp_folder();
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(SAMPLES_DIR)) {
    if (entry.path().extension() != ".LS11") continue;
    SCOPED_TRACE(entry.path().string());
    fs::path expected = entry.path();
    expected.replace_extension(".expected");
    const std::string out = folder + "/" + entry.path().filename().string() + ".DEC";
    g_status = LS11_OK;
    EXPECT_TRUE(convert_file(entry.path().string().c_str(), out.c_str()));
    EXPECT_EQ(g_status, LS11_OK);
    EXPECT_EQ(read_file_bytes(out), read_file_bytes(expected.string()));
    ++checked;
  }
  remove_tree(folder);
  EXPECT_GE(checked, 3);
}

}  // namespace
