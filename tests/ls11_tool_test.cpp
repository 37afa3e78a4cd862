// Runs the ls11 binary in a scratch folder: what each command prints, its
// exit status, and the files it leaves (never a partial one).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "ls11.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"
#include "support/utf8_path.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const std::string kTool = LS11_PATH;
#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif
const std::string kUnls11 = UNLS11_PATH;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
#ifndef _WIN32  // read back only by the tests that run a POSIX shell
std::string text_string(const Bytes& b) { return std::string(b.begin(), b.end()); }
#endif

Bytes roster(int rows) {
  std::string s;
  for (int i = 0; i < rows; ++i) s += "row " + std::to_string(i) + ": castle, army, rice, gold\n";
  return text(s);
}

Bytes noise(size_t size) {
  std::mt19937 rng(static_cast<uint32_t>(size));
  Bytes b(size);
  for (uint8_t& c : b) c = static_cast<uint8_t>(rng());
  return b;
}

class Ls11Test : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = make_temp_folder(); }
  void TearDown() override { remove_tree(folder_); }

  void put(const std::string& name, const Bytes& bytes) {
    ASSERT_TRUE(write_file_bytes(folder_ + "/" + name, bytes));
  }
  Bytes read(const std::string& name) { return read_file_bytes(folder_ + "/" + name); }
  bool exists(const std::string& name) { return fs::exists(folder_ + "/" + name); }
  ToolRun run(const std::vector<std::string>& args) { return run_tool(kTool, args, folder_); }

  // Every name in the folder, sorted: a failed run must leave no
  // temporary or partial file behind.
  std::vector<std::string> listing(const std::string& sub = "") {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder_ + "/" + sub))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Decodes `name` with unls11 and returns the decoded bytes.
  Bytes decoded_by_unls11(const std::string& name) {
    const ToolRun r = run_tool(kUnls11, {name}, folder_);
    EXPECT_EQ(r.out, name + " : OK.\n\nTotal targets: 1, Succeeded: 1, Failed: 0\n");
    Bytes out = read(name + ".DEC");
    fs::remove(folder_ + "/" + name + ".DEC");
    return out;
  }

  std::string folder_;
};

TEST_F(Ls11Test, PackWritesWhatUnls11DecodesBack) {
  put("a.txt", roster(200));
  put("b.bin", noise(3000));
  put("empty", {});
  Bytes all = roster(200);
  const Bytes b = noise(3000);
  all.insert(all.end(), b.begin(), b.end());
  for (const std::string level : {"fast", "best"}) {
    for (const std::string format : {"10", "11", "12"}) {
      SCOPED_TRACE(level + format);
      const ToolRun r = run({"pack", "-o", "out.LS11", "--force", "--level", level, "--format",
                             format, "a.txt", "b.bin", "empty"});
      EXPECT_EQ(r.exit_status, 0) << r.err;
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "");
      const Bytes file = read("out.LS11");
      ASSERT_GE(file.size(), 16u);
      EXPECT_EQ(file[3], format[1]);
      EXPECT_EQ(decoded_by_unls11("out.LS11"), all);
    }
  }
  ASSERT_EQ(run({"pack", "--store", "-f", "--output=out.LS11", "--", "a.txt", "b.bin"}).exit_status,
            0);
  EXPECT_EQ(read("out.LS11").size(), 276 + 12 * 2 + all.size());
  EXPECT_EQ(decoded_by_unls11("out.LS11"), all);
}

TEST_F(Ls11Test, ListShowsEntriesAsTextAndJson) {
  put("a.txt", roster(100));
  put("b.bin", noise(100));
  ASSERT_EQ(run({"pack", "-o", "x.LS11", "--format", "12", "a.txt", "b.bin"}).exit_status, 0);
  const ToolRun r = run({"list", "x.LS11"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  // The layout of the text: a heading, one line per entry, the totals.
  EXPECT_EQ(r.out.rfind("x.LS11: LS12, 2 entries\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("      1        "), std::string::npos);
  EXPECT_NE(r.out.find("       100  stored      100.0%\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  total "), std::string::npos);

  const ToolRun j = run({"list", "--json", "x.LS11", "missing.LS11"});
  EXPECT_EQ(j.exit_status, 1);
  EXPECT_EQ(j.err, "ls11: missing.LS11: cannot open the file: No such file or directory\n");
  EXPECT_EQ(
      j.out.rfind("[\n  {\"file\": \"x.LS11\", \"version\": 12, \"count\": 2, \"entries\": [\n"
                  "    {\"index\": 0, \"offset\": 300, \"packed_size\": ",
                  0),
      0u)
      << j.out;
  EXPECT_NE(j.out.find("{\"index\": 1, \"offset\": "), std::string::npos);
  EXPECT_NE(
      j.out.find(
          "\"packed_size\": 100, \"unpacked_size\": 100, \"stored\": true, \"ratio\": 1.0000}],\n"),
      std::string::npos)
      << j.out;
  EXPECT_EQ(j.out.substr(j.out.size() - 4), "}\n]\n");
}

TEST_F(Ls11Test, ExtractWritesOneFilePerEntry) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) {
    names.push_back("part" + std::to_string(i));
    put(names.back(), roster(i));
  }
  std::vector<std::string> args = {"pack", "-o", "MAP.LS11"};
  args.insert(args.end(), names.begin(), names.end());
  ASSERT_EQ(run(args).exit_status, 0);

  ToolRun r = run({"extract", "-o", "out/sub", "MAP.LS11"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> expected;
  for (int i = 0; i < 12; ++i) {
    expected.push_back("MAP.LS11.0" + std::string(i < 10 ? "0" : "") + std::to_string(i));
    EXPECT_EQ(read("out/sub/" + expected.back()), roster(i));
  }
  EXPECT_EQ(listing("out/sub"), expected);

  // Again: nothing is replaced without --force, and the refusal comes
  // before anything is written.
  put("out/sub/MAP.LS11.005", text("edited"));
  r = run({"extract", "-o", "out/sub", "MAP.LS11"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "ls11: out/sub/MAP.LS11.000: already exists (--force replaces it)\n");
  EXPECT_EQ(read("out/sub/MAP.LS11.005"), text("edited"));
  EXPECT_EQ(run({"extract", "--force", "-o", "out/sub", "MAP.LS11"}).exit_status, 0);
  EXPECT_EQ(read("out/sub/MAP.LS11.005"), roster(5));

  // Without -o the entries go beside the file, in a folder or the current one.
  fs::create_directories(folder_ + "/d");
  fs::copy_file(folder_ + "/MAP.LS11", folder_ + "/d/M.LS11");
  EXPECT_EQ(run({"extract", "d/M.LS11"}).exit_status, 0);
  EXPECT_EQ(read("d/M.LS11.011"), roster(11));
  fs::copy_file(folder_ + "/MAP.LS11", folder_ + "/d/N.LS11");
  EXPECT_EQ(run_tool(kTool, {"extract", "N.LS11"}, folder_ + "/d").exit_status, 0);
  EXPECT_EQ(read("d/N.LS11.000"), roster(0));
  EXPECT_FALSE(exists("d/.N.LS11.000"));
}

// A file that fails to decode extracts nothing and verifies as failed; the
// other files of the same run still get their turn.
TEST_F(Ls11Test, DamagedFilesFailWithoutPartialOutput) {
  put("a", roster(50));
  put("b", roster(60));
  ASSERT_EQ(run({"pack", "-o", "good.LS11", "a", "b"}).exit_status, 0);
  Bytes damaged = read("good.LS11");
  // Make the second block's packed bytes all ones: its first code has too
  // many leading one-bits.
  const size_t second =
      276 + 24 +
      (size_t{damaged[272]} << 24 | damaged[273] << 16 | damaged[274] << 8 | damaged[275]);
  std::fill(damaged.begin() + static_cast<long>(second), damaged.end(), 0xFF);
  put("bad.LS11", damaged);
  put("junk.LS11", text("not an LS11 file at all"));

  ToolRun r = run({"verify", "good.LS11", "bad.LS11", "junk.LS11"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, "good.LS11: OK.\n");
  EXPECT_EQ(r.err,
            "ls11: bad.LS11: entry 1: Failed to decode the file!\n"
            "ls11: junk.LS11: Unsupported encoded file type! (the file starts with the bytes 6e 6f "
            "74 20, not LS10, LS11 or LS12)\n");
  r = run({"verify", "--json", "bad.LS11"});
  EXPECT_NE(r.out.find("\"entries\": 2, \"reason_code\": 13, \"reason\": \"entry 1 does not "
                       "decode\", \"failed_entry\": 1}"),
            std::string::npos)
      << r.out;

  const std::vector<std::string> before = listing();
  r = run({"extract", "bad.LS11"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "ls11: bad.LS11: entry 1: Failed to decode the file!\n");
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(run({"verify", "good.LS11"}).exit_status, 0);
}

TEST_F(Ls11Test, RepackKeepsBoundariesAndVersion) {
  put("a", roster(30));
  put("b", noise(10));
  put("c", roster(70));
  ASSERT_EQ(run({"pack", "--format", "10", "--level", "fast", "-o", "orig.LS11", "a", "b", "c"})
                .exit_status,
            0);
  Bytes decoded = decoded_by_unls11("orig.LS11");
  // An edit that keeps the length.
  std::replace(decoded.begin(), decoded.end(), static_cast<uint8_t>('c'),
               static_cast<uint8_t>('C'));
  put("orig.LS11.DEC", decoded);
  ToolRun r = run({"repack", "orig.LS11", "orig.LS11.DEC", "-o", "new.LS11"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(decoded_by_unls11("new.LS11"), decoded);
  const Bytes orig = read("orig.LS11");
  const Bytes repacked = read("new.LS11");
  EXPECT_EQ(repacked[3], '0');
  for (size_t entry = 0; entry < 3; ++entry) {
    const size_t unpacked_at = 272 + 12 * entry + 4;
    EXPECT_TRUE(std::equal(orig.begin() + static_cast<long>(unpacked_at),
                           orig.begin() + static_cast<long>(unpacked_at + 4),
                           repacked.begin() + static_cast<long>(unpacked_at)));
  }

  // A decoded file of another length is refused, and nothing is written.
  decoded.push_back('!');
  put("longer.DEC", decoded);
  r = run({"repack", "orig.LS11", "longer.DEC", "-o", "other.LS11"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "ls11: longer.DEC: is " + std::to_string(decoded.size()) +
                       " bytes long, but the entries of orig.LS11 hold " +
                       std::to_string(decoded.size() - 1) + " (repack keeps the entry sizes)\n");
  EXPECT_FALSE(exists("other.LS11"));
}

// Entries of another length go back in; the other entries' packed bytes
// are copied, and cat gives back what unls11 decodes.
TEST_F(Ls11Test, ReplaceAndCat) {
  put("a", roster(40));
  put("b", roster(20));
  put("c", noise(50));
  ASSERT_EQ(run({"pack", "--format", "12", "-o", "orig.LS11", "a", "b", "c"}).exit_status, 0);
  put("longer", roster(90));
  put("shorter", text("short"));
  ToolRun r = run({"replace", "orig.LS11", "-o", "new.LS11", "1=longer", "0=shorter"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  Bytes expected = text("short");
  for (const Bytes& part : {roster(90), noise(50)})
    expected.insert(expected.end(), part.begin(), part.end());
  EXPECT_EQ(decoded_by_unls11("new.LS11"), expected);
  EXPECT_EQ(file_blocks(read("new.LS11"))[2].packed, file_blocks(read("orig.LS11"))[2].packed);
  EXPECT_EQ(read("new.LS11")[3], '2');

  r = run({"cat", "new.LS11"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(text(r.out), expected);
  r = run({"cat", "new.LS11", "0", "0"});
  EXPECT_EQ(r.out, "shortshort");

  // In place, with --force: the output is written aside, then renamed.
  EXPECT_EQ(run({"replace", "-f", "new.LS11", "-o", "new.LS11", "2=shorter"}).exit_status, 0);
  EXPECT_EQ(run({"cat", "new.LS11", "2"}).out, "short");
  EXPECT_EQ(listing(), (std::vector<std::string>{"a", "b", "c", "longer", "new.LS11", "orig.LS11",
                                                 "shorter"}));
}

// A damaged entry: cat writes the entries before it, then the error;
// replace refuses the file, since it would copy the entry unseen.
TEST_F(Ls11Test, DamagedOriginalsAndMissingInputs) {
  put("a", roster(50));
  put("b", roster(60));
  ASSERT_EQ(run({"pack", "-o", "good.LS11", "a", "b"}).exit_status, 0);
  Bytes damaged = read("good.LS11");
  std::fill(damaged.begin() + read_be32(damaged, 272 + 12 + 8), damaged.end(), 0xFF);
  put("bad.LS11", damaged);
  ToolRun r = run({"cat", "bad.LS11"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(text(r.out), roster(50));
  EXPECT_EQ(r.err, "ls11: bad.LS11: entry 1: Failed to decode the file!\n");

  const std::vector<std::string> before = listing();
  r = run({"replace", "bad.LS11", "-o", "x.LS11", "0=a"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err,
            "ls11: bad.LS11: entry 1: Failed to decode the file! (replace copies the other "
            "entries unseen, so it refuses a damaged file)\n");
  EXPECT_EQ(run({"replace", "bad.LS11", "-o", "x.LS11", "1=a"}).exit_status, 0);  // it goes
  fs::remove(folder_ + "/x.LS11");
  r = run({"replace", "good.LS11", "-o", "x.LS11", "0=missing"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "ls11: missing: cannot open the file: No such file or directory\n");
  EXPECT_EQ(listing(), before);
}

// -r: LS11 files are found by their header under any name; others are
// counted, not reported; extract -o makes the folders again.
TEST_F(Ls11Test, RecursiveWalksFoldersByHeader) {
  put("a", roster(5));
  ASSERT_EQ(run({"pack", "-o", "one.LS11", "a"}).exit_status, 0);
  fs::create_directories(folder_ + "/game/sub/deep");
  fs::copy_file(folder_ + "/one.LS11", folder_ + "/game/sub/DATA.BIN");
  fs::copy_file(folder_ + "/one.LS11", folder_ + "/game/sub/deep/x");
  put("game/readme.txt", text("not LS11"));
  put("game/LS1", text("LS1"));
#ifndef _WIN32
  fs::create_directory_symlink("..", folder_ + "/game/sub/up");  // not followed
#endif
  ToolRun r = run({"verify", "-r", "game"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "game/sub/DATA.BIN: OK.\ngame/sub/deep/x: OK.\n");
  r = run({"list", "-r", "game"});
  EXPECT_TRUE(r.out.ends_with("%\n\n2 other files skipped (not LS11)\n")) << r.out;
  r = run({"verify", "--recursive", "--json", "game/sub/deep", "one.LS11", "a", "nothing"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(
      r.out,
      "[\n  {\"name\": \"game/sub/deep/x\", \"status\": 0, \"message\": \"OK.\", \"entries\": 1, "
      "\"reason_code\": 0, \"reason\": null, \"failed_entry\": null},\n"
      "  {\"name\": \"one.LS11\", \"status\": 0, \"message\": \"OK.\", \"entries\": 1, "
      "\"reason_code\": 0, \"reason\": null, \"failed_entry\": null},\n"
      "  {\"name\": \"a\", \"status\": 3, \"message\": \"Unsupported encoded file type!\", "
      "\"entries\": null, \"reason_code\": 5, \"reason\": \"the file starts with the bytes 72 6f "
      "77 20, not LS10, LS11 or LS12\", \"failed_entry\": null},\n"
      "  {\"name\": \"nothing\", \"status\": 1, \"message\": \"Cannot open the encoded file!\", "
      "\"entries\": null, \"reason_code\": 1, \"reason\": \"cannot open the file\", "
      "\"failed_entry\": null}\n]\n");
  EXPECT_EQ(run({"extract", "-r", "-o", "out", "game"}).exit_status, 0);
  EXPECT_EQ(read("out/sub/DATA.BIN.000"), roster(5));
  EXPECT_EQ(read("out/sub/deep/x.000"), roster(5));
  EXPECT_EQ(listing("out"), std::vector<std::string>{"sub"});
  r = run({"verify", "-q", "game", "-r"});
  EXPECT_EQ(r.out + r.err, "");
}

#ifndef _WIN32
// A reader that stops early (`ls11 cat F | head -c 1`) ends cat quietly
// with status 1.
TEST_F(Ls11Test, CatEndsQuietlyOnABrokenPipe) {
  put("big", noise(1 << 20));
  ASSERT_EQ(run({"pack", "--store", "-o", "big.LS11", "big", "big"}).exit_status, 0);
  const ToolRun r =
      run_tool("/bin/sh", {"-c", "(\"$0\" cat big.LS11; echo $? >status) | head -c 1", kTool},
               folder_);
  EXPECT_EQ(r.out.size(), 1u);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read("status"), text("1\n"));
}
#endif

// Inputs of several sizes, an empty one among them, share one buffer read
// on several threads: the file is the same for any thread count and decodes
// to the inputs one after another.
TEST_F(Ls11Test, PackReadsInputsOnThreadsIntoOneFile) {
  put("a", roster(40));
  put("empty", Bytes());
  put("b", roster(3));
  Bytes all = roster(40);
  const Bytes b = roster(3);
  all.insert(all.end(), b.begin(), b.end());
  all.insert(all.end(), b.begin(), b.end());
  for (const char* level : {"fast", "best"}) {
    ASSERT_EQ(run({"pack", "-f", "--level", level, "-T", "1", "-o", "one.LS11", "a", "empty", "b",
                   "b"})
                  .exit_status,
              0);
    ASSERT_EQ(run({"pack", "-f", "--level", level, "-T", "3", "-o", "three.LS11", "a", "empty", "b",
                   "b"})
                  .exit_status,
              0);
    EXPECT_EQ(read("one.LS11"), read("three.LS11")) << level;
    EXPECT_EQ(decoded_by_unls11("three.LS11"), all) << level;
  }
#ifndef _WIN32
  // To a stream the file goes out once packed, not block by block as to a
  // file: the same bytes whatever the thread count.
  for (const char* threads : {"1", "3"}) {
    EXPECT_EQ(
        run({"pack", "--level", "best", "-T", threads, "-o", "-", "a", "empty", "b", "b"}).out,
        text_string(read("one.LS11")))
        << threads;
  }
  // A pipe named twice is read once, in order, whatever the thread count:
  // all of it in the first entry, nothing in the second.
  put("big", noise(8 << 20));
  fs::create_symlink("/proc/self/fd/0", folder_ + "/in");
  for (const std::string threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    const ToolRun r =
        run_tool("/bin/sh",
                 {"-c", "cat big | \"$0\" pack --store -f -T " + threads + " -o p.LS11 in a in",
                  kTool},
                 folder_);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    const std::string first = run({"cat", "p.LS11", "0"}).out;
    EXPECT_EQ(first.size(), size_t{8} << 20);
    EXPECT_TRUE(text(first) == read("big"));  // not EXPECT_EQ: 8 MiB printed on a failure
    EXPECT_EQ(text(run({"cat", "p.LS11", "1"}).out), roster(40));
    EXPECT_EQ(run({"cat", "p.LS11", "2"}).out, "");
  }
#endif
}

// A folder given to pack (with or without -r) stands for every file below
// it, in the order of their paths sorted byte by byte, subfolders mixed in.
TEST_F(Ls11Test, PackTakesFoldersInPathOrder) {
  const std::vector<std::string> files = {"d/a.txt", "d/a/x", "d/a/y/z", "d/b", "top"};
  fs::create_directories(folder_ + "/d/a/y");
  fs::create_directories(folder_ + "/d/empty");
  for (auto it = files.rbegin(); it != files.rend(); ++it) put(*it, text(*it + ";"));
#ifndef _WIN32
  fs::create_directory_symlink("..", folder_ + "/d/up");  // not followed
#endif
  for (const std::string recursive : {"-r", "--"}) {
    SCOPED_TRACE(recursive);
    const ToolRun r = run({"pack", "-f", "-o", "out.LS11", recursive, "d", "top"});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(run({"cat", "out.LS11"}).out, "d/a.txt;d/a/x;d/a/y/z;d/b;top;");
    EXPECT_EQ(run({"cat", "out.LS11", "2"}).out, "d/a/y/z;");
  }
}

TEST_F(Ls11Test, OutputsAreReplacedOnlyWithForceAndNeverLeftHalfWritten) {
  put("a", roster(10));
  put("out.LS11", text("precious"));
  ToolRun r = run({"pack", "-o", "out.LS11", "a"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "ls11: out.LS11: already exists (--force replaces it)\n");
  EXPECT_EQ(read("out.LS11"), text("precious"));

  // A missing input fails the run before the output is touched.
  r = run({"pack", "-f", "-o", "out.LS11", "a", "missing"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "ls11: missing: cannot open the file: No such file or directory\n");
  EXPECT_EQ(read("out.LS11"), text("precious"));
  // Inputs are read on several threads, yet only the first that fails in
  // command-line order is reported, as reading them in turn would.
  r = run({"pack", "-f", "-T", "4", "-o", "out.LS11", "a", "a", "missing", "a", "missing2"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "ls11: missing: cannot open the file: No such file or directory\n");
  EXPECT_EQ(read("out.LS11"), text("precious"));

  // An output that cannot be created (its folder is missing) leaves nothing.
  r = run({"pack", "-o", "no/such/folder/x.LS11", "a"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err,
            "ls11: no/such/folder/x.LS11: cannot create the file: No such file or directory\n");
  EXPECT_EQ(listing(), (std::vector<std::string>{"a", "out.LS11"}));

  EXPECT_EQ(run({"pack", "-f", "-o", "out.LS11", "a"}).exit_status, 0);
  EXPECT_EQ(decoded_by_unls11("out.LS11"), roster(10));
  EXPECT_EQ(listing(), (std::vector<std::string>{"a", "out.LS11"}));
}

// Failures that must leave the folder as it was, each with a message that
// says what went wrong.
TEST_F(Ls11Test, FailuresLeaveNothingBehindAndSayWhy) {
  put("a", roster(40));
  put("b", roster(50));
  ASSERT_EQ(run({"pack", "-o", "MAP.LS11", "a", "b"}).exit_status, 0);
  Bytes damaged = read("MAP.LS11");
  std::fill(damaged.end() - 40, damaged.end(), 0xFF);
  put("bad.LS11", damaged);
  struct Case {
    std::string what;
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"a damaged file makes no output folder",
       {"extract", "-o", "new/sub", "bad.LS11"},
       "ls11: bad.LS11: entry 1: Failed to decode the file!\n"},
      {"an entry that cannot be written leaves none",
       {"extract", "-f", "-o", "out", "MAP.LS11"},
       "ls11: out/MAP.LS11.001: is not a file (only a file, or a link to one, is replaced)\n"},
      {"a folder is not replaced",
       {"pack", "-f", "-o", "out", "a"},
       "ls11: out: is not a file (only a file, or a link to one, is replaced)\n"},
      {"control characters are escaped",
       {"verify", "x\033[31mRED\x7f"},
#ifdef _WIN32
       // Windows allows no control character in a name.
       "ls11: x\\x1b[31mRED\\x7f: cannot open the file: Invalid argument\n"},
#else
       "ls11: x\\x1b[31mRED\\x7f: cannot open the file: No such file or directory\n"},
#endif
      {"an entry passes 4 GiB - 1 bytes",
       {"pack", "-o", "p.LS11", "sparse"},
       "ls11: sparse: too large for one entry (4 GiB - 1 bytes at most)\n"},
      {"a decoded file over 4 GiB is measured, not refused",
       {"repack", "MAP.LS11", "sparse", "-o", "p.LS11"},
       "ls11: sparse: is 4294967296 bytes long, but the entries of MAP.LS11 hold " +
           std::to_string(roster(40).size() + roster(50).size()) +
           " (repack keeps the entry sizes)\n"},
  };
  fs::create_directories(folder_ + "/out/MAP.LS11.001/inside");
  {
    std::ofstream sparse(utf8_path(folder_ + "/sparse"), std::ios::binary);
    sparse.seekp((int64_t{1} << 32) - 1);
    sparse.put('x');
  }
  const std::vector<std::string> before = listing();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ToolRun r = run(c.args);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(listing("out"), std::vector<std::string>{"MAP.LS11.001"});
  }
}

// Temporary names neither count up nor grow with the target's name: stale
// files from other runs and a name of 250 bytes do not stop a pack.
TEST_F(Ls11Test, TemporaryNamesDoNotDependOnTheTarget) {
  put("a", roster(10));
  for (int i = 0; i < 100; ++i) put("out.LS11.tmp" + std::to_string(i), {});
  EXPECT_EQ(run({"pack", "-o", "out.LS11", "a"}).exit_status, 0);
  EXPECT_EQ(decoded_by_unls11("out.LS11"), roster(10));
#ifndef _WIN32  // a whole path there is limited to 260 characters
  const std::string long_name(250, 'n');
  const ToolRun r = run({"pack", "-o", long_name, "a"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(exists(long_name));
#endif
  EXPECT_EQ(listing().size(), 103u - (kWindows ? 1 : 0));
}

// Two runs racing for one new name: exactly one writes it, the other is
// refused at its rename and leaves no temporary file.
TEST_F(Ls11Test, TwoRunsRacingForOneNameCannotBothWin) {
  put("a", roster(20000));
  ToolProcess first = start_tool(kTool, {"pack", "-o", "same.LS11", "a"}, folder_);
  ToolProcess second = start_tool(kTool, {"pack", "-o", "same.LS11", "a"}, folder_);
  const ToolRun runs[] = {finish_tool(first), finish_tool(second)};
  EXPECT_EQ(runs[0].exit_status + runs[1].exit_status, 1);
  for (const ToolRun& r : runs) {
    EXPECT_EQ(r.err,
              r.exit_status == 0 ? "" : "ls11: same.LS11: already exists (--force replaces it)\n");
  }
  EXPECT_EQ(listing(), (std::vector<std::string>{"a", "same.LS11"}));
}

TEST_F(Ls11Test, UsageErrorsExitTwo) {
  put("a", roster(1));
  ASSERT_EQ(run({"pack", "-o", "one.LS11", "a"}).exit_status, 0);
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{}, "ls11: no command given\nTry 'ls11 --help'.\n"},
      {{"frobnicate"}, "ls11: unknown command 'frobnicate'\nTry 'ls11 --help'.\n"},
      {{"list"}, "ls11: list: wrong number of files\nTry 'ls11 list --help'.\n"},
      {{"pack", "a"}, "ls11: pack needs -o OUT\nTry 'ls11 pack --help'.\n"},
      {{"pack", "-o"}, "ls11: option -o needs a value\nTry 'ls11 pack --help'.\n"},
      {{"pack", "-o", "x", "--format", "13", "a"},
       "ls11: invalid value '13' for --format\nTry 'ls11 pack --help'.\n"},
      {{"pack", "-o", "x", "--level=max", "a"},
       "ls11: invalid value 'max' for --level\nTry 'ls11 pack --help'.\n"},
      {{"list", "--store", "a"}, "ls11: list takes no option --store\nTry 'ls11 list --help'.\n"},
      {{"repack", "--format", "10", "-o", "x", "a", "b"},
       "ls11: repack takes no option --format\nTry 'ls11 repack --help'.\n"},
      {{"repack", "-o", "x", "a"},
       "ls11: repack: wrong number of files\nTry 'ls11 repack --help'.\n"},
      {{"verify", "--json=1", "a"},
       "ls11: option --json takes no value\nTry 'ls11 verify --help'.\n"},
      {{"verify", "--bogus", "a"}, "ls11: unknown option '--bogus'\nTry 'ls11 verify --help'.\n"},
      {{"verify", "-dash", "a"}, "ls11: unknown option '-dash'\nTry 'ls11 verify --help'.\n"},
      {{"pack", "-xyz", "a"}, "ls11: unknown option '-xyz'\nTry 'ls11 pack --help'.\n"},
      {{"pack", "-o", "", "a"}, "ls11: the value of -o is empty\nTry 'ls11 pack --help'.\n"},
      {{"extract", "--output=", "a"},
       "ls11: the value of --output is empty\nTry 'ls11 extract --help'.\n"},
      {{"cat", "-r", "one.LS11"}, "ls11: cat takes no option -r\nTry 'ls11 cat --help'.\n"},
      {{"help", "frobnicate"}, "ls11: unknown command 'frobnicate'\nTry 'ls11 --help'.\n"},
      {{"help", "pack", "cat"}, "ls11: help takes one command at most\nTry 'ls11 --help'.\n"},
      {{"extract", "-o", "-", "one.LS11"},
       "ls11: extract: -o names a folder, not standard output (ls11 cat writes entries there)\n"
       "Try 'ls11 extract --help'.\n"},
      {{"replace", "a", "0=a"}, "ls11: replace needs -o OUT\nTry 'ls11 replace --help'.\n"},
      {{"replace", "-o", "x", "a", "0:a"},
       "ls11: replace: '0:a' is not INDEX=FILE\nTry 'ls11 replace --help'.\n"},
      {{"replace", "-o", "x", "a", "1=a", "1=b"},
       "ls11: replace: entry 1 is named twice\nTry 'ls11 replace --help'.\n"},
      {{"replace", "-o", "x", "one.LS11", "1=a"},
       "ls11: replace: one.LS11 has 1 entry; there is no entry 1\nTry 'ls11 replace --help'.\n"},
      {{"cat", "one.LS11", "-1"}, "ls11: unknown option '-1'\nTry 'ls11 cat --help'.\n"},
      {{"cat", "one.LS11", "0x1"},
       "ls11: cat: '0x1' is not an entry index\nTry 'ls11 cat --help'.\n"},
      {{"cat", "one.LS11", "4294967296"},
       "ls11: cat: '4294967296' is not an entry index\nTry 'ls11 cat --help'.\n"},
      {{"cat", "one.LS11", "1"},
       "ls11: cat: one.LS11 has 1 entry; there is no entry 1\nTry 'ls11 cat --help'.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    const ToolRun r = run(c.args);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(listing(), (std::vector<std::string>{"a", "one.LS11"}));
}

TEST_F(Ls11Test, HelpVersionAndDoubleDash) {
  ToolRun r = run({"--help"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out.rfind("Usage: ls11 COMMAND", 0), 0u);
  for (const std::string command :
       {"list", "extract", "pack", "repack", "verify", "replace", "cat"}) {
    r = run({command, "--help"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out.rfind("Usage: ls11 " + command, 0), 0u) << r.out;
  }
  // ls11 help [COMMAND] says what --help does.
  EXPECT_EQ(run({"help"}).out, run({"--help"}).out);
  r = run({"help", "pack"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, run({"pack", "--help"}).out);
  for (const std::string version : {"--version", "-V"}) {
    r = run({version});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "ls11 (ls11kit) " LS11_VERSION_STRING "\n");
  }

  // After "--" a name that starts with a dash is a file.
  put("-odd", roster(3));
  r = run({"pack", "-o", "x.LS11", "--", "-odd"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  r = run({"verify", "--", "x.LS11"});
  EXPECT_EQ(r.out, "x.LS11: OK.\n");
}

#ifndef _WIN32

// An interrupt during a long pack removes the temporary file and ends the
// run with 128 + the signal's number.
TEST_F(Ls11Test, InterruptsLeaveNoTemporaryFile) {
  put("big", noise(4 << 20));
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    ToolProcess process = start_tool(kTool, {"pack", "-o", "out.LS11", "big"}, folder_);
    // Wait for the temporary file, so the interrupt comes mid-pack.
    for (int i = 0; i < 1000 && listing().size() == 1; ++i) usleep(10000);
    ASSERT_EQ(listing().size(), 2u);
    kill(static_cast<pid_t>(process.id), signal_number);
    const ToolRun r = finish_tool(process);
    EXPECT_EQ(r.exit_status, 128 + signal_number);
    EXPECT_EQ(listing(), std::vector<std::string>{"big"});
  }
}

// --force replaces a file, keeping its permission bits; a symbolic link to
// a file is written through, the link kept, and a link to nothing is
// refused. New files get the umask's permissions.
TEST_F(Ls11Test, ForceReplacesFilesAndWritesThroughLinks) {
  put("a", roster(10));
  put("kept", text("kept"));
  put("private.LS11", text("old"));
  chmod((folder_ + "/private.LS11").c_str(), 0600);
  chmod((folder_ + "/kept").c_str(), 0640);
  fs::create_symlink("kept", folder_ + "/link");
  fs::create_symlink("nowhere", folder_ + "/dangling");
  umask(022);
  struct Case {
    std::string target;
    std::string err;
    std::string written;  // the file that holds the output afterwards
    fs::perms perms;      // its permissions
  };
  const std::vector<Case> cases = {
      {"private.LS11", "", "private.LS11", fs::perms(0600)},
      {"link", "", "kept", fs::perms(0640)},
      {"new.LS11", "", "new.LS11", fs::perms(0644)},
      {"dangling",
       "ls11: dangling: is a symbolic link to nothing (a link is written through only to a file)\n",
       "", fs::perms(0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const ToolRun r = run({"pack", "-f", "-o", c.target, "a"});
    EXPECT_EQ(r.err, c.err);
    if (c.written.empty()) continue;
    EXPECT_EQ(fs::status(folder_ + "/" + c.written).permissions(), c.perms);
    EXPECT_EQ(decoded_by_unls11(c.written), roster(10));
  }
  EXPECT_TRUE(fs::is_symlink(folder_ + "/link"));
  EXPECT_TRUE(fs::is_symlink(folder_ + "/dangling"));
  EXPECT_EQ(listing(), (std::vector<std::string>{"a", "dangling", "kept", "link", "new.LS11",
                                                 "private.LS11"}));
}

// Outputs that reach a stream are written as one, with no --force needed:
// `-o -` (standard output), a link to a pipe, a FIFO. Nothing is renamed
// over them, and no link or device node is ever replaced. An input that is
// not a file is not edited in place, nor extracted beside itself.
TEST_F(Ls11Test, OutputsThatAreStreamsAreWrittenAsStreams) {
  put("a", roster(30));
  put("b", noise(40));
  ASSERT_EQ(run({"pack", "-o", "ref.LS11", "a"}).exit_status, 0);
  ASSERT_EQ(run({"replace", "ref.LS11", "-o", "rep.LS11", "0=b"}).exit_status, 0);
  const std::string ref = text_string(read("ref.LS11"));
  const std::string rep = text_string(read("rep.LS11"));
  fs::create_symlink("/proc/self/fd/1", folder_ + "/myout");
  fs::create_symlink("/proc/self/fd/0", folder_ + "/in");
  ASSERT_EQ(mkfifo((folder_ + "/fifo").c_str(), 0644), 0);
  struct Case {
    std::string script;  // run by sh, "$0" being ls11
    int status;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"\"$0\" pack -o - a", 0, ref, ""},
      {"\"$0\" pack -o myout a | cat", 0, ref, ""},
      {"\"$0\" pack -f -o myout a | cat", 0, ref, ""},
      {"timeout 20 cat fifo & \"$0\" pack -f -o fifo a; wait", 0, ref, ""},
      {"\"$0\" repack ref.LS11 a -o - | cat", 0, ref, ""},
      {"\"$0\" replace ref.LS11 -o - 0=b", 0, rep, ""},
      {"cat ref.LS11 | \"$0\" replace in -f -o myout 0=b | cat", 0, rep, ""},
      {"cat ref.LS11 | \"$0\" replace in -f -o in 0=b", 1, "",
       "ls11: in: is also an input that is not a file (it cannot be edited in place)\n"},
      {"cat a | \"$0\" pack -f -o in in", 1, "",
       "ls11: in: is also an input that is not a file (it cannot be edited in place)\n"},
      {"cat ref.LS11 | \"$0\" extract in", 1, "",
       "ls11: in: is not a file, so its entries need a folder: name one with -o\n"},
      {"cat ref.LS11 | \"$0\" extract -o out in && cat out/in.000", 0, text_string(roster(30)), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const ToolRun r = run_tool("/bin/sh", {"-c", c.script, kTool}, folder_);
    EXPECT_EQ(r.exit_status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_TRUE(fs::is_symlink(folder_ + "/myout"));
    EXPECT_TRUE(fs::is_symlink(folder_ + "/in"));
    EXPECT_TRUE(fs::is_fifo(folder_ + "/fifo"));
    fs::remove_all(folder_ + "/out");
    EXPECT_EQ(listing(),
              (std::vector<std::string>{"a", "b", "fifo", "in", "myout", "ref.LS11", "rep.LS11"}));
  }
}

// Every write to standard output is checked, the last flush included.
TEST_F(Ls11Test, StandardOutputFailuresAreReported) {
  put("a", roster(10));
  ASSERT_EQ(run({"pack", "-o", "x.LS11", "a"}).exit_status, 0);
  // Standard output goes to the full device through a link of our own.
  fs::create_symlink("/dev/full", folder_ + "/full");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"list", "x.LS11"}, {"list", "--json", "x.LS11"}, {"verify", "x.LS11"}, {"--help"}}) {
    SCOPED_TRACE(args[0] + args.back());
    ToolProcess process = start_tool(kTool, args, folder_, folder_ + "/full");
    const ToolRun r = finish_tool(process);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "ls11: standard output: cannot write: No space left on device\n");
  }
}

// Inputs are read to their end, whatever their recorded length: a file
// under /proc (recorded as empty) and a FIFO.
TEST_F(Ls11Test, InputsThatAreNotRegularFilesAreReadWhole) {
  ASSERT_EQ(mkfifo((folder_ + "/fifo").c_str(), 0644), 0);
  ToolProcess process =
      start_tool(kTool, {"pack", "-o", "p.LS11", "/proc/cpuinfo", "fifo"}, folder_);
  std::string piped;
  for (int i = 0; i < 3000; ++i) piped += "line " + std::to_string(i) + " through a pipe\n";
  // The writer's end opens once the tool has opened the reading end.
  int fd = -1;
  for (int i = 0; i < 1000 && fd < 0; ++i, usleep(10000))
    fd = open((folder_ + "/fifo").c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  fcntl(fd, F_SETFL, 0);
  EXPECT_EQ(write(fd, piped.data(), piped.size()), static_cast<ssize_t>(piped.size()));
  close(fd);
  const ToolRun r = finish_tool(process);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  ASSERT_EQ(run({"extract", "p.LS11"}).exit_status, 0);
  const Bytes cpuinfo = read("p.LS11.000");
  EXPECT_EQ(std::string(cpuinfo.begin(), cpuinfo.begin() + std::min<size_t>(cpuinfo.size(), 9)),
            "processor");
  EXPECT_EQ(read("p.LS11.001"), text(piped));

  // An LS11 file through a pipe is read whole too, by every command that
  // reads one.
  std::string listed = run({"list", "p.LS11"}).out;
  listed.replace(0, std::string("p.LS11").size(), "/dev/stdin");
  const struct {
    std::string command;
    std::string out;
  } commands[] = {
      {"cat", run({"cat", "p.LS11"}).out},
      {"verify", "/dev/stdin: OK.\n"},
      {"list", listed},
      {"extract -o out", ""},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.command);
    const ToolRun p =
        run_tool("/bin/sh", {"-c", "cat p.LS11 | \"$0\" " + c.command + " /dev/stdin", kTool},
                 folder_);
    EXPECT_EQ(p.exit_status, 0) << p.err;
    EXPECT_EQ(p.out, c.out);
  }
  EXPECT_EQ(read("out/stdin.001"), text(piped));
}

// A name that is not UTF-8 still gives valid JSON: U+FFFD for each stray
// byte, and the bytes themselves beside it.
TEST_F(Ls11Test, JsonNamesAreAlwaysUtf8) {
  put("a", roster(3));
  ASSERT_EQ(run({"pack", "-o", "bad\xff\xfe.LS11", "a"}).exit_status, 0);
  for (const std::string key : {"file", "name"}) {
    const ToolRun r = run({key == "file" ? "list" : "verify", "--json", "bad\xff\xfe.LS11"});
    EXPECT_NE(r.out.find(
                  "{\"" + key +
                  "\": \"bad\\ufffd\\ufffd.LS11\", \"file_bytes_hex\": \"626164fffe2e4c533131\", "),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(std::all_of(r.out.begin(), r.out.end(),
                            [](char c) { return static_cast<uint8_t>(c) < 0x80; }));
  }
}

// list prints entries as it reads them: a table of 400 000 empty entries
// (4.8 MB) is listed in little more memory than the table, not in memory
// for the whole JSON text (about 45 MB).
TEST_F(Ls11Test, ListStreamsItsOutput) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: RSS counts every allocation";
#endif
  const uint32_t count = 400000;
  Bytes file = text("LS11");
  file.resize(16 + 256 + size_t{count} * 12 + 4);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t offset = 276 + 12 * count;
    for (int k = 0; k < 4; ++k)
      file[272 + i * 12 + 8 + static_cast<size_t>(k)] =
          static_cast<uint8_t>(offset >> (24 - 8 * k));
  }
  put("many.LS11", file);
  fs::create_symlink("/dev/null", folder_ + "/discard");
  ToolProcess baseline = start_tool(kTool, {"list", "--json", "a"}, folder_, folder_ + "/discard");
  const long base_kib = finish_tool(baseline).peak_kib;
  ToolProcess process =
      start_tool(kTool, {"list", "--json", "many.LS11"}, folder_, folder_ + "/discard");
  const ToolRun r = finish_tool(process);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_LT(r.peak_kib - base_kib, static_cast<long>(file.size() / 1024 + 16 * 1024));
}

#endif  // _WIN32

}  // namespace
