// The public C API as another program sees it: this suite links against the
// shared library, so only what the library exports is reachable. Damaged
// files are covered by the hostile-files tables, which read each one
// through the API as well.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ls11.h"
#include "support/allocation_probe.h"
#include "support/api_read.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"
#include "support/utf8_path.h"

namespace {

namespace fs = std::filesystem;

Bytes text(const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

struct Sample {
  std::string path;
  Bytes file;
  Bytes expected;
};

std::vector<Sample> samples() {
  std::vector<Sample> found;
  for (const auto& entry : fs::directory_iterator(SAMPLES_DIR)) {
    if (entry.path().extension() != ".LS11") continue;
    fs::path expected = entry.path();
    expected.replace_extension(".expected");
    found.push_back({path_utf8(entry.path()), read_file_bytes(path_utf8(entry.path())),
                     read_file_bytes(path_utf8(expected))});
  }
  return found;
}

// "abcabcabc": three literals and a back-reference.
BitWriter abc_stream() {
  BitWriter w;
  for (char c : {'a', 'b', 'c'}) put_literal(w, static_cast<uint8_t>(c));
  put_match(w, 3, 6);
  return w;
}

TEST(Api, SamplesReadToWhatUnls11WritesFromMemoryAndFromAPath) {
  const std::string folder = make_temp_folder();
  const std::vector<Sample> all = samples();
  for (const Sample& s : all) {
    SCOPED_TRACE(s.path);
    // A copy under a name beyond ASCII: paths are UTF-8 on every system.
    const std::string renamed = folder + "/\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF.LS11";
    ASSERT_TRUE(write_file_bytes(renamed, s.file));
    for (const ApiRead& read :
         {api_read_path(s.path), api_read_path(renamed), api_read_memory(s.file)}) {
      EXPECT_EQ(read.status, LS11_OK);
      EXPECT_EQ(read.output, s.expected);
    }
    ls11_archive* archive = nullptr;
    ASSERT_EQ(ls11_open_memory(s.file.data(), s.file.size(), &archive), LS11_OK);
    EXPECT_EQ(ls11_format(archive), 10 + (s.file[3] - '0'));
    EXPECT_EQ(std::memcmp(ls11_dictionary(archive), s.file.data() + 16, 256), 0);
    ls11_close(archive);
  }
  remove_tree(folder);
  EXPECT_GE(all.size(), 3u);
}

TEST(Api, EveryFormatReadsAlikeWithItsTable) {
  const BitWriter abc = abc_stream();
  for (char digit : {'0', '1', '2'}) {
    SCOPED_TRACE(digit);
    const Bytes file =
        build_file({stored_entry(text("stored!")), compressed_entry(abc, 9), stored_entry({})},
                   digit);
    ls11_archive* archive = nullptr;
    ASSERT_EQ(ls11_open_memory(file.data(), file.size(), &archive), LS11_OK);
    EXPECT_EQ(ls11_format(archive), 10 + digit - '0');
    ASSERT_EQ(ls11_entry_count(archive), 3u);
    ls11_entry e[3];
    for (uint32_t i = 0; i < 3; ++i) ASSERT_EQ(ls11_get_entry(archive, i, &e[i]), LS11_OK);
    EXPECT_EQ(e[0].data_offset, 276u + 36u);
    EXPECT_EQ(e[0].packed_size, 7u);
    EXPECT_EQ(e[1].data_offset, e[0].data_offset + 7);
    EXPECT_EQ(e[1].packed_size, abc.bytes.size());
    EXPECT_EQ(e[1].unpacked_size, 9u);
    EXPECT_EQ(e[2].unpacked_size, 0u);
    ls11_close(archive);
    EXPECT_EQ(api_read_memory(file).output, text("stored!abcabcabc"));
  }
}

TEST(Api, OpenFailuresSayWhyAndLeaveNoArchive) {
  const std::string folder = make_temp_folder();
  ASSERT_TRUE(write_file_bytes(folder + "/text", text("LS11 is not enough")));
  ASSERT_TRUE(write_file_bytes(folder + "/empty", {}));
  int marker = 0;  // what *archive points at before each open
  const struct {
    const char* name;
    std::string path;
    ls11_status status;
    int reason;
    int system_error;
  } cases[] = {
      {"missing", folder + "/missing.LS11", LS11_ERR_OPEN, LS11_REASON_CANNOT_OPEN, ENOENT},
      {"a folder", folder, LS11_ERR_OPEN, LS11_REASON_CANNOT_OPEN, EISDIR},
      {"not an LS11 file", folder + "/text", LS11_ERR_FORMAT, LS11_REASON_HEADER_PADDING, 0},
      {"empty", folder + "/empty", LS11_ERR_FORMAT, LS11_REASON_EMPTY, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ls11_archive* archive = reinterpret_cast<ls11_archive*>(&marker);
    EXPECT_EQ(ls11_open(c.path.c_str(), &archive), c.status);
    EXPECT_EQ(archive, nullptr);
    ls11_reason reason{};
    EXPECT_EQ(ls11_open_with_reason(c.path.c_str(), &archive, &reason), c.status);
    EXPECT_EQ(reason.code, c.reason);
#ifndef _WIN32
    EXPECT_EQ(reason.system_error, c.system_error);
#endif
  }
  ls11_archive* archive = reinterpret_cast<ls11_archive*>(&marker);
  EXPECT_EQ(ls11_open_memory(nullptr, 0, &archive), LS11_ERR_FORMAT);
  EXPECT_EQ(archive, nullptr);
  remove_tree(folder);
}

// What the reading calls say about a damaged file: the reason of the open,
// or of the first entry that does not read.
struct Outcome {
  ls11_status status;
  ls11_reason reason;
  Bytes output;  // the entries read before the failure
};

Outcome read_all_with_reason(ls11_status opened, ls11_archive* archive, ls11_reason reason) {
  if (opened != LS11_OK) return {opened, reason, {}};
  Collected out;
  ls11_status status = LS11_OK;
  for (uint32_t i = 0; status == LS11_OK && i < ls11_entry_count(archive); ++i) {
    const size_t before = out.pieces;
    status = ls11_read_entry_to(archive, i, collect, &out, &reason);
    if (status != LS11_OK) {
      EXPECT_EQ(out.pieces, before);  // a damaged entry hands nothing
    }
  }
  ls11_close(archive);
  return {status, reason, out.bytes};
}

Outcome outcome_from_memory(const Bytes& file) {
  ls11_archive* archive = nullptr;
  ls11_reason reason{-1, 0, 0, 0, 0};
  const ls11_status status =
      ls11_open_memory_with_reason(file.data(), file.size(), &archive, &reason);
  return read_all_with_reason(status, archive, reason);
}

Outcome outcome_from_path(const std::string& path) {
  ls11_archive* archive = nullptr;
  ls11_reason reason{-1, 0, 0, 0, 0};
  const ls11_status status = ls11_open_with_reason(path.c_str(), &archive, &reason);
  return read_all_with_reason(status, archive, reason);
}

#ifndef _WIN32
// The file fed through a FIFO by another thread, as `cat F > fifo` would.
Outcome outcome_from_fifo(const std::string& fifo, const Bytes& file) {
  EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = open(fifo.c_str(), O_WRONLY);
    for (size_t at = 0; fd >= 0 && at < file.size();) {
      const ssize_t n = write(fd, file.data() + at, file.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    if (fd >= 0) close(fd);
  });
  const Outcome outcome = outcome_from_path(fifo);
  writer.join();
  unlink(fifo.c_str());
  return outcome;
}
#endif

// Each reason once: the file, the status every reading call gives, and the
// reason with its numbers, the same from memory, from a regular file and
// from a FIFO.
TEST(Api, ReasonsSayWhyAFileOrAnEntryFails) {
  const BitWriter abc = abc_stream();
  const Bytes good = build_file({stored_entry(text("hello")), compressed_entry(abc, 9)});
  const uint32_t end = static_cast<uint32_t>(good.size());
  const auto changed = [](Bytes file, size_t at, uint32_t value) {
    set_be32(file, at, value);
    return file;
  };
  Bytes padded = good;
  padded[9] = 1;
  Bytes longer = good;
  longer.push_back(0);
  Bytes unknown = good;
  unknown[0] = 'P', unknown[1] = 'K', unknown[2] = 3, unknown[3] = 4;
  BitWriter broken;
  put_literal(broken, 'a');
  put_match(broken, 5, 3);  // reaches before the block's start
  const Bytes corrupt = build_file({stored_entry(text("ok")), compressed_entry(broken, 4)});
  Bytes header_only(good.begin(), good.begin() + 16);
  header_only.resize(116);
  const struct {
    const char* name;
    Bytes file;
    ls11_status status;
    int code;
    uint32_t entry;
    uint64_t found, expected;
  } cases[] = {
      {"good", good, LS11_OK, LS11_REASON_NONE, LS11_NO_ENTRY, 0, 0},
      {"empty", {}, LS11_ERR_FORMAT, LS11_REASON_EMPTY, LS11_NO_ENTRY, 0, 0},
      {"shorter than a header", text("LS11"), LS11_ERR_FORMAT, LS11_REASON_SHORT_HEADER,
       LS11_NO_ENTRY, 4, 16},
      {"unknown kind", unknown, LS11_ERR_FORMAT, LS11_REASON_UNKNOWN_KIND, LS11_NO_ENTRY,
       0x504B0304, 0},
      {"header not padded", padded, LS11_ERR_FORMAT, LS11_REASON_HEADER_PADDING, LS11_NO_ENTRY, 9,
       0},
      {"no room for a table", header_only, LS11_ERR_FORMAT, LS11_REASON_NO_TABLE, LS11_NO_ENTRY,
       116, 284},
      {"first offset inside the table", changed(good, 280, 100), LS11_ERR_FORMAT,
       LS11_REASON_FIRST_OFFSET, LS11_NO_ENTRY, 100, 288},
      {"first offset between entries", changed(longer, 280, 301), LS11_ERR_FORMAT,
       LS11_REASON_FIRST_OFFSET, LS11_NO_ENTRY, 301, 300},
      {"table cut short", changed(good, 280, 276 + 12 * 100), LS11_ERR_FORMAT,
       LS11_REASON_TABLE_CUT, LS11_NO_ENTRY, end, 276 + 12 * 100},
      {"length not the table's", longer, LS11_ERR_FORMAT, LS11_REASON_LENGTH_MISMATCH,
       LS11_NO_ENTRY, end + 1, end},
      {"block outside the file", changed(good, 292, end - 2), LS11_ERR_CORRUPT,
       LS11_REASON_BLOCK_OUTSIDE, 1, end, end - 2 + abc.bytes.size()},
      {"block does not decode", corrupt, LS11_ERR_CORRUPT, LS11_REASON_BLOCK_CORRUPT, 1, 0, 0},
  };
  const std::string folder = make_temp_folder();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(write_file_bytes(folder + "/file", c.file));
    std::vector<Outcome> outcomes = {outcome_from_memory(c.file),
                                     outcome_from_path(folder + "/file")};
#ifndef _WIN32
    outcomes.push_back(outcome_from_fifo(folder + "/fifo", c.file));
#endif
    for (const Outcome& o : outcomes) {
      EXPECT_EQ(o.status, c.status);
      EXPECT_EQ(o.reason.code, c.code);
      EXPECT_EQ(o.reason.entry, c.entry);
      EXPECT_EQ(o.reason.found, c.found);
      EXPECT_EQ(o.reason.expected, c.expected);
      EXPECT_EQ(o.reason.system_error, 0);
      // The reason adds detail and changes neither status nor bytes.
      EXPECT_EQ(o.output, api_read_memory(c.file).output);
    }
    EXPECT_EQ(api_read_memory(c.file).status, c.status);
  }
  // A file cut short after it opened: its last block, longer than any
  // stream buffer, cannot be read.
  const Bytes large = build_file({stored_entry(text("hello")), stored_entry(Bytes(1 << 20, 'x'))});
  ASSERT_TRUE(write_file_bytes(folder + "/file", large));
  ls11_archive* archive = nullptr;
  ASSERT_EQ(ls11_open((folder + "/file").c_str(), &archive), LS11_OK);
  fs::resize_file(utf8_path(folder + "/file"), large.size() - 1);
  Collected out;
  ls11_reason reason{};
  EXPECT_EQ(ls11_read_entry_to(archive, 1, collect, &out, &reason), LS11_ERR_CORRUPT);
  EXPECT_EQ(reason.code, LS11_REASON_CANNOT_READ);
  EXPECT_EQ(reason.entry, 1u);
  EXPECT_EQ(out.pieces, 0u);
  Bytes whole(1 << 20);
  EXPECT_EQ(ls11_read_entry(archive, 1, whole.data(), whole.size()), LS11_ERR_CORRUPT);
  ls11_close(archive);
  remove_tree(folder);
}

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
// Memory refused: the process's address space is capped a little above
// what it uses, so that the buffer for an entry claiming 4 GiB cannot be
// had. (AddressSanitizer reserves far more address space than any cap.)
TEST(Api, ReasonOfMemoryRefused) {
  BitWriter w;
  put_literal(w, 'a');
  const Bytes file = build_file({compressed_entry(w, 0xFFFFFFF0u)});
  ls11_archive* archive = nullptr;
  ASSERT_EQ(ls11_open_memory(file.data(), file.size(), &archive), LS11_OK);
  long pages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  ASSERT_NE(statm, nullptr);
  ASSERT_EQ(std::fscanf(statm, "%ld", &pages), 1);
  std::fclose(statm);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &before), 0);
  rlimit capped = before;
  capped.rlim_cur =
      static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{512} << 20);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
  // Under a user-mode emulator (the aarch64 build's tests run under qemu)
  // the guest's memory is the emulator's, which the cap does not reach.
  // volatile: the compiler may not drop an allocation whose result is kept.
  void* volatile probe = std::malloc(size_t{1} << 30);
  if (probe != nullptr) {
    std::free(probe);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &before), 0);
    ls11_close(archive);
    GTEST_SKIP() << "the address-space cap does not limit allocations here";
  }
  Collected out;
  ls11_reason reason{};
  const ls11_status status = ls11_read_entry_to(archive, 0, collect, &out, &reason);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &before), 0);
  EXPECT_EQ(status, LS11_ERR_NO_MEMORY);
  EXPECT_EQ(reason.code, LS11_REASON_NO_MEMORY);
  EXPECT_EQ(out.pieces, 0u);
  ls11_close(archive);
}
#endif

TEST(Api, ReasonWordsComeFromOneTable) {
  std::vector<std::string> seen;
  for (int code = LS11_REASON_NONE; code <= LS11_REASON_ARGUMENT; ++code) {
    const std::string description = ls11_reason_string(code);
    for (const std::string& other : seen) EXPECT_NE(description, other);
    seen.push_back(description);
    const ls11_reason reason{code, 0, 0, 0, 0};
    EXPECT_GT(ls11_reason_text(&reason, nullptr, 0), 0u);
  }
  for (int code : {-1, LS11_REASON_ARGUMENT + 1, INT_MIN}) {
    EXPECT_STREQ(ls11_reason_string(code), "unknown reason");
  }
  const struct {
    ls11_reason reason;
    const char* text;
  } cases[] = {
      {{LS11_REASON_TABLE_CUT, LS11_NO_ENTRY, 300, 1476, 0},
       "the entry table is cut short: it needs 1476 bytes, the file has 300"},
      {{LS11_REASON_UNKNOWN_KIND, LS11_NO_ENTRY, 0x504B0304, 0, 0},
       "the file starts with the bytes 50 4b 03 04, not LS10, LS11 or LS12"},
      {{LS11_REASON_BLOCK_OUTSIDE, 7, 400, 4294967295u, 0},
       "entry 7's block ends at byte 4294967295, past the end of the file (400 bytes)"},
  };
  for (const auto& c : cases) {
    char whole[128];
    EXPECT_EQ(ls11_reason_text(&c.reason, whole, sizeof whole), std::strlen(c.text));
    EXPECT_STREQ(whole, c.text);
    // Cut to the buffer, always terminated, the length still the whole's.
    char cut[10];
    std::memset(cut, 'x', sizeof cut);
    EXPECT_EQ(ls11_reason_text(&c.reason, cut, sizeof cut), std::strlen(c.text));
    EXPECT_EQ(std::string(cut), std::string(c.text, 9));
  }
  EXPECT_EQ(ls11_reason_text(nullptr, nullptr, 0), 0u);
}

// Every call with a bad argument gives LS11_ERR_ARGUMENT and writes nothing
// into the buffers it was handed.
TEST(Api, BadArgumentsAreRefusedAndNothingIsWritten) {
  const BitWriter abc = abc_stream();
  const Bytes file = build_file({compressed_entry(abc, 9)});
  ls11_archive* archive = nullptr;
  ASSERT_EQ(ls11_open_memory(file.data(), file.size(), &archive), LS11_OK);
  const uint8_t* dictionary = ls11_dictionary(archive);
  const Bytes sentinel(16, 0xA5);
  Bytes out;
  ls11_entry entry{1, 2, 3};
  const ls11_entry entry_before = entry;
  ls11_archive* opened = nullptr;
  ls11_reason reason{};
  Collected taken;
  Placed placed;
  void* packed = &out;
  size_t packed_size = 99;
  const void* inputs[] = {file.data(), nullptr};
  const size_t sizes[] = {file.size(), 1};
  auto pack_with = [&](int format, int level, int threads,
                       size_t size = sizeof(ls11_pack_options)) {
    const ls11_pack_options options = {size, format, level, threads};
    return ls11_pack(inputs, sizes, 1, &options, &packed, &packed_size);
  };
  const struct {
    const char* name;
    std::function<ls11_status()> call;
  } cases[] = {
      {"open: NULL path", [&] { return ls11_open(nullptr, &opened); }},
      {"open: NULL archive", [&] { return ls11_open(SAMPLES_DIR "/greeting.LS11", nullptr); }},
      {"open: NULL path, with a reason",
       [&] { return ls11_open_with_reason(nullptr, &opened, &reason); }},
      {"open_memory: NULL data", [&] { return ls11_open_memory(nullptr, 300, &opened); }},
      {"open_memory: NULL archive",
       [&] { return ls11_open_memory(file.data(), file.size(), nullptr); }},
      {"get_entry: NULL archive", [&] { return ls11_get_entry(nullptr, 0, &entry); }},
      {"get_entry: index past the end", [&] { return ls11_get_entry(archive, 1, &entry); }},
      {"get_entry: NULL entry", [&] { return ls11_get_entry(archive, 0, nullptr); }},
      {"read_entry: NULL archive",
       [&] { return ls11_read_entry(nullptr, 0, out.data(), out.size()); }},
      {"read_entry: index past the end",
       [&] { return ls11_read_entry(archive, 1, out.data(), out.size()); }},
      {"read_entry: capacity one short",
       [&] { return ls11_read_entry(archive, 0, out.data(), 8); }},
      {"read_entry: NULL out", [&] { return ls11_read_entry(archive, 0, nullptr, 9); }},
      {"read_entry_to: NULL archive",
       [&] { return ls11_read_entry_to(nullptr, 0, collect, &taken, nullptr); }},
      {"read_entry_to: index past the end",
       [&] { return ls11_read_entry_to(archive, 1, collect, &taken, nullptr); }},
      {"replace: NULL out",
       [&] { return ls11_replace(archive, nullptr, 0, nullptr, &packed_size); }},
      {"replace: NULL out_size",
       [&] { return ls11_replace(archive, nullptr, 0, &packed, nullptr); }},
      {"replace_to: NULL archive",
       [&] { return ls11_replace_to(nullptr, nullptr, 0, collect, &taken, nullptr); }},
      {"pack_to: no entries",
       [&] { return ls11_pack_to(inputs, sizes, 0, nullptr, collect, &taken, nullptr); }},
      {"replace_to: NULL replacements for 1",
       [&] { return ls11_replace_to(archive, nullptr, 1, collect, &taken, nullptr); }},
      {"pack_to: NULL writer, with a reason",
       [&] { return ls11_pack_to(inputs, sizes, 1, nullptr, nullptr, nullptr, &reason); }},
      {"pack_at: NULL writer, with a reason",
       [&] { return ls11_pack_at(inputs, sizes, 1, nullptr, nullptr, nullptr, &reason); }},
      {"pack_at: NULL entry of 1 byte",
       [&] { return ls11_pack_at(inputs, sizes, 2, nullptr, place, &placed, nullptr); }},
      {"pack_at: format 13, with a reason",
       [&] {
         const ls11_pack_options options = {sizeof(ls11_pack_options), 13, LS11_LEVEL_FAST, 0};
         return ls11_pack_at(inputs, sizes, 1, &options, place, &placed, &reason);
       }},
      {"decode_block: NULL dictionary",
       [&] {
         return ls11_decode_block(abc.bytes.data(), abc.bytes.size(), nullptr, out.data(), 9);
       }},
      {"decode_block: NULL packed",
       [&] { return ls11_decode_block(nullptr, 3, dictionary, out.data(), 9); }},
      {"decode_block: NULL out",
       [&] {
         return ls11_decode_block(abc.bytes.data(), abc.bytes.size(), dictionary, nullptr, 9);
       }},
      {"pack: NULL entries",
       [&] { return ls11_pack(nullptr, sizes, 1, nullptr, &packed, &packed_size); }},
      {"pack: NULL sizes",
       [&] { return ls11_pack(inputs, nullptr, 1, nullptr, &packed, &packed_size); }},
      {"pack: no entries",
       [&] { return ls11_pack(inputs, sizes, 0, nullptr, &packed, &packed_size); }},
      {"pack: NULL entry of 1 byte",
       [&] { return ls11_pack(inputs, sizes, 2, nullptr, &packed, &packed_size); }},
      {"pack: NULL out",
       [&] { return ls11_pack(inputs, sizes, 1, nullptr, nullptr, &packed_size); }},
      {"pack: NULL out_size",
       [&] { return ls11_pack(inputs, sizes, 1, nullptr, &packed, nullptr); }},
      {"pack: format 9", [&] { return pack_with(9, LS11_LEVEL_BEST, 0); }},
      {"pack: format 13", [&] { return pack_with(13, LS11_LEVEL_BEST, 0); }},
      {"pack: level -1", [&] { return pack_with(11, -1, 0); }},
      {"pack: level 3", [&] { return pack_with(11, LS11_LEVEL_BEST + 1, 0); }},
      {"pack: -1 threads", [&] { return pack_with(11, LS11_LEVEL_FAST, -1); }},
      {"pack: options size 0", [&] { return pack_with(11, LS11_LEVEL_FAST, 0, 0); }},
      {"pack: options size of a later, larger struct",
       [&] { return pack_with(11, LS11_LEVEL_FAST, 0, sizeof(ls11_pack_options) + 8); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    out = sentinel;
    packed = &out;
    packed_size = 99;
    EXPECT_EQ(c.call(), LS11_ERR_ARGUMENT);
    EXPECT_EQ(out, sentinel);
    EXPECT_EQ(std::memcmp(&entry, &entry_before, sizeof entry), 0);
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(taken.pieces, 0u);
    EXPECT_EQ(placed.total, 0u);
    const std::string name = c.name;
    if (name.ends_with("with a reason")) {
      EXPECT_EQ(reason.code, LS11_REASON_ARGUMENT);
    }
    reason = ls11_reason{};
    if ((name.starts_with("pack:") || name.starts_with("replace:")) &&
        name.find("NULL out") == std::string::npos) {
      EXPECT_EQ(packed, nullptr);
      EXPECT_EQ(packed_size, 0u);
    }
  }
  ls11_close(archive);
  // A NULL archive has no format, dictionary or entries; closing and
  // freeing NULL do nothing.
  EXPECT_EQ(ls11_format(nullptr), 0);
  EXPECT_EQ(ls11_dictionary(nullptr), nullptr);
  EXPECT_EQ(ls11_entry_count(nullptr), 0u);
  ls11_close(nullptr);
  ls11_free(nullptr);
}

TEST(Api, DecodeBlock) {
  const BitWriter abc = abc_stream();
  BitWriter with_256;
  put_literal(with_256, 'x');
  put_value(with_256, 256);
  const Bytes dictionary = identity_dictionary();
  const struct {
    const char* name;
    Bytes packed;
    size_t unpacked_size;
    ls11_status status;
  } cases[] = {
      {"a literal run and a back-reference", abc.bytes, 9, LS11_OK},
      {"the stream ends before the size is reached", abc.bytes, 10, LS11_ERR_CORRUPT},
      {"the size is reached before the copy ends", abc.bytes, 8, LS11_ERR_CORRUPT},
      {"the value 256", with_256.bytes, 5, LS11_ERR_CORRUPT},
      {"a size past 4 GiB - 1", abc.bytes, size_t{UINT32_MAX} + 1, LS11_ERR_ARGUMENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // A size past 4 GiB is refused before the buffer is looked at.
    Bytes out(c.unpacked_size > 16 ? 16 : c.unpacked_size);
    EXPECT_EQ(ls11_decode_block(c.packed.data(), c.packed.size(), dictionary.data(), out.data(),
                                c.unpacked_size),
              c.status);
    if (c.status == LS11_OK) {
      EXPECT_EQ(out, text("abcabcabc"));
    }
  }
}

TEST(Api, StatusStringsAndVersion) {
  std::vector<std::string> seen;
  for (int s = LS11_OK; s <= LS11_ERR_TOO_LARGE; ++s) {
    const std::string description = ls11_status_string(s);
    EXPECT_FALSE(description.empty());
    for (const std::string& other : seen) EXPECT_NE(description, other);
    seen.push_back(description);
  }
  // Values no status has, including ones past any enum's range.
  for (int s : {-1, LS11_ERR_TOO_LARGE + 1, 1 << 20, INT_MIN}) {
    EXPECT_STREQ(ls11_status_string(s), "unknown status");
  }
  // One version everywhere: the header, the library and the build.
  EXPECT_STREQ(ls11_version_string(), LS11_VERSION_STRING);
  EXPECT_STREQ(ls11_version_string(), LS11_EXPECTED_VERSION);
}

// Different archives on different threads at once, each read many times
// over: a result kept anywhere but in the archive or the caller's buffers
// would mix the threads' files.
TEST(Api, FourThreadsReadFourArchivesAtOnce) {
  std::vector<Sample> files = samples();
  const Bytes formats_file =
      build_file({stored_entry(text("stored!")), compressed_entry(abc_stream(), 9)}, '2');
  files.push_back({"", formats_file, text("stored!abcabcabc")});
  ASSERT_GE(files.size(), 4u);
  files.resize(4);
  bool all_read[4] = {};
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 4; ++t) {
    threads.emplace_back([&files, &all_read, t] {
      bool same = true;
      for (int round = 0; round < 200 && same; ++round) {
        const bool from_path = round % 2 == 1 && !files[t].path.empty();
        const ApiRead read =
            from_path ? api_read_path(files[t].path) : api_read_memory(files[t].file);
        same = read.status == LS11_OK && read.output == files[t].expected;
      }
      all_read[t] = same;
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t t = 0; t < 4; ++t) EXPECT_TRUE(all_read[t]) << "thread " << t;
}

Bytes pseudo_random(size_t size) {
  Bytes b(size);
  uint32_t state = 12345;
  for (uint8_t& byte : b) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return b;
}

struct Packed {
  ls11_status status;
  Bytes file;
};

Packed pack(const std::vector<Bytes>& entries, const ls11_pack_options* options) {
  std::vector<const void*> data;
  std::vector<size_t> sizes;
  for (const Bytes& e : entries) {
    data.push_back(e.data());
    sizes.push_back(e.size());
  }
  void* out = nullptr;
  size_t out_size = 0;
  Packed p{ls11_pack(data.data(), sizes.data(), static_cast<uint32_t>(entries.size()), options,
                     &out, &out_size),
           {}};
  if (out) p.file.assign(static_cast<uint8_t*>(out), static_cast<uint8_t*>(out) + out_size);
  ls11_free(out);
  // Through a callback, the same outcome and the same bytes.
  Collected written;
  ls11_reason reason{-1, 0, 0, 0, 0};
  EXPECT_EQ(ls11_pack_to(data.data(), sizes.data(), static_cast<uint32_t>(entries.size()), options,
                         collect, &written, &reason),
            p.status);
  EXPECT_EQ(written.bytes, p.file);
  EXPECT_EQ(reason.code == LS11_REASON_NONE, p.status == LS11_OK);
  // At offsets, the blocks in file order and then the head: the same
  // bytes, each handed once.
  Placed placed;
  reason = ls11_reason{-1, 0, 0, 0, 0};
  EXPECT_EQ(ls11_pack_at(data.data(), sizes.data(), static_cast<uint32_t>(entries.size()), options,
                         place, &placed, &reason),
            p.status);
  EXPECT_EQ(placed.bytes, p.file);
  EXPECT_EQ(placed.total, p.file.size());
  EXPECT_EQ(placed.twice, 0u);
  EXPECT_LE(placed.backward, 1u);
  EXPECT_EQ(reason.code == LS11_REASON_NONE, p.status == LS11_OK);
  return p;
}

// A refused piece stops the pack at once, whichever piece it is; so does
// refused memory.
TEST(Api, PackAtStopsAtARefusedPiece) {
  std::vector<Bytes> entries;
  for (uint32_t i = 0; i < 40; ++i) entries.push_back(pseudo_random(500 + 97 * i));
  std::vector<const void*> data;
  std::vector<size_t> sizes;
  Bytes all;
  for (const Bytes& e : entries) {
    data.push_back(e.data());
    sizes.push_back(e.size());
    all.insert(all.end(), e.begin(), e.end());
  }
  for (int level : {LS11_LEVEL_STORE, LS11_LEVEL_FAST}) {
    for (size_t refuse_after : {size_t{0}, size_t{5000}, size_t{60000}}) {
      SCOPED_TRACE(testing::Message() << "level " << level << ", refused past " << refuse_after);
      const ls11_pack_options options = {sizeof(ls11_pack_options), 11, level, 2};
      Placed placed;
      placed.refuse_after = refuse_after;
      ls11_reason reason{-1, 0, 0, 0, 0};
      const bool with_reason = refuse_after != 5000;
      EXPECT_EQ(ls11_pack_at(data.data(), sizes.data(), static_cast<uint32_t>(entries.size()),
                             &options, place, &placed, with_reason ? &reason : nullptr),
                LS11_ERR_WRITE);
      EXPECT_EQ(reason.code, with_reason ? LS11_REASON_WRITE_REFUSED : -1);
      EXPECT_LE(placed.total, refuse_after);
      EXPECT_EQ(placed.backward, 0u);
    }
#ifndef _WIN32  // a DLL's allocations do not go through the test's operator new
    // Memory refused at each allocation in turn: LS11_ERR_NO_MEMORY, said
    // so in the reason where one is asked for, or the whole file. One
    // thread, so that the allocations come in the same order every time.
    const ls11_pack_options options = {sizeof(ls11_pack_options), 11, level, 1};
    size_t out_of_memory = 0;
    for (size_t nth = 1;; ++nth) {
      SCOPED_TRACE(testing::Message() << "level " << level << ", allocation " << nth);
      Placed placed;
      ls11_reason reason{-1, 0, 0, 0, 0};
      fail_nothrow_allocation(nth);
      const ls11_status status =
          ls11_pack_at(data.data(), sizes.data(), static_cast<uint32_t>(entries.size()), &options,
                       place, &placed, nth % 2 ? &reason : nullptr);
      const bool refused = nothrow_allocation_failed();
      fail_nothrow_allocation(0);
      if (status == LS11_ERR_NO_MEMORY) {
        ++out_of_memory;
        EXPECT_EQ(reason.code, nth % 2 ? LS11_REASON_NO_MEMORY : -1);
      } else {
        ASSERT_EQ(status, LS11_OK);
        EXPECT_EQ(api_read_memory(placed.bytes).output, all);
      }
      if (!refused) break;
    }
    EXPECT_GT(out_of_memory, 0u);
#endif
  }
}

TEST(Api, PackAtEveryFormatAndLevelReadsBack) {
  Bytes repeated;
  for (int i = 0; i < 200; ++i)
    repeated.insert(repeated.end(), {'l', 's', '1', '1', ' ', uint8_t('0' + i % 7)});
  const std::vector<Bytes> entries = {text("hello, world"), repeated, {}, pseudo_random(3000)};
  Bytes all;
  for (const Bytes& e : entries) all.insert(all.end(), e.begin(), e.end());
  for (int format : {10, 11, 12}) {
    for (int level : {LS11_LEVEL_STORE, LS11_LEVEL_FAST, LS11_LEVEL_BEST}) {
      SCOPED_TRACE(testing::Message() << "format " << format << ", level " << level);
      const ls11_pack_options options = {sizeof(ls11_pack_options), format, level, 1};
      const Packed p = pack(entries, &options);
      ASSERT_EQ(p.status, LS11_OK);
      const ApiRead read = api_read_memory(p.file);
      EXPECT_EQ(read.status, LS11_OK);
      EXPECT_EQ(read.output, all);
      ls11_archive* archive = nullptr;
      ASSERT_EQ(ls11_open_memory(p.file.data(), p.file.size(), &archive), LS11_OK);
      EXPECT_EQ(ls11_format(archive), format);
      ls11_entry repeated_entry;
      ASSERT_EQ(ls11_get_entry(archive, 1, &repeated_entry), LS11_OK);
      // Stored exactly at the store level; the repeated text shrinks otherwise.
      EXPECT_EQ(repeated_entry.packed_size == repeated_entry.unpacked_size,
                level == LS11_LEVEL_STORE);
      if (level == LS11_LEVEL_STORE) {
        EXPECT_EQ(Bytes(ls11_dictionary(archive), ls11_dictionary(archive) + 256),
                  identity_dictionary());
      }
      ls11_close(archive);
      // The same file whatever the number of threads.
      const ls11_pack_options more_threads = {sizeof(ls11_pack_options), format, level, 3};
      EXPECT_EQ(pack(entries, &more_threads).file, p.file);
    }
  }
  const ls11_pack_options defaults = {sizeof(ls11_pack_options), 11, LS11_LEVEL_BEST, 0};
  const Packed by_default = pack(entries, nullptr);
  ASSERT_EQ(by_default.status, LS11_OK);
  EXPECT_EQ(by_default.file, pack(entries, &defaults).file);
  // Entries all empty, on two threads: nothing to share out.
  const ls11_pack_options fast = {sizeof(ls11_pack_options), 11, LS11_LEVEL_FAST, 2};
  const Packed empty = pack({{}, {}}, &fast);
  ASSERT_EQ(empty.status, LS11_OK);
  EXPECT_EQ(api_read_memory(empty.file).status, LS11_OK);
}

// Read-only pages nobody writes: entries as large as the format allows,
// without the memory (the store level points the file at its inputs).
struct ReservedPages {
  explicit ReservedPages(size_t bytes) : size(bytes) {
#ifdef _WIN32
    data = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY);
#else
    data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (data == MAP_FAILED) data = nullptr;
#endif
  }
  ~ReservedPages() {
#ifdef _WIN32
    if (data) VirtualFree(data, 0, MEM_RELEASE);
#else
    if (data) munmap(data, size);
#endif
  }
  size_t size;
  void* data;
};

TEST(Api, PackRefusesWhatPassesTheFormatsSizes) {
  static_assert(sizeof(size_t) > 4, "entries of 4 GiB need 64-bit sizes");
  const ReservedPages pages(size_t{1} << 31);
  ASSERT_NE(pages.data, nullptr);
  const ls11_pack_options store = {sizeof(ls11_pack_options), 11, LS11_LEVEL_STORE, 1};
  const struct {
    const char* name;
    std::vector<size_t> sizes;
    ls11_status status;
    int reason;
    uint32_t entry;
    uint64_t found;
  } cases[] = {
      {"an entry of 4 GiB",
       {1, size_t{UINT32_MAX} + 1},
       LS11_ERR_TOO_LARGE,
       LS11_REASON_ENTRY_TOO_LARGE,
       1,
       uint64_t{UINT32_MAX} + 1},
      {"two entries of 2 GiB",
       {size_t{1} << 31, size_t{1} << 31},
       LS11_ERR_TOO_LARGE,
       LS11_REASON_FILE_TOO_LARGE,
       LS11_NO_ENTRY,
       276 + 24 + (uint64_t{1} << 32)},
      {"control: an entry of 1 MiB",
       {size_t{1} << 20},
       LS11_OK,
       LS11_REASON_NONE,
       LS11_NO_ENTRY,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The 4 GiB entry is refused before its bytes are looked at.
    const std::vector<const void*> data(c.sizes.size(), pages.data);
    int marker = 0;
    void* out = &marker;
    size_t out_size = 1;
    EXPECT_EQ(ls11_pack(data.data(), c.sizes.data(), static_cast<uint32_t>(c.sizes.size()), &store,
                        &out, &out_size),
              c.status);
    EXPECT_EQ(out == nullptr, c.status != LS11_OK);
    if (c.status == LS11_OK) {
      EXPECT_EQ(out_size, 276 + 12 + c.sizes[0]);
      ls11_free(out);
    }
    Collected written;
    ls11_reason reason{-1, 0, 0, 0, 0};
    EXPECT_EQ(ls11_pack_to(data.data(), c.sizes.data(), static_cast<uint32_t>(c.sizes.size()),
                           &store, collect, &written, &reason),
              c.status);
    EXPECT_EQ(reason.code, c.reason);
    EXPECT_EQ(reason.entry, c.entry);
    EXPECT_EQ(reason.found, c.found);
    EXPECT_EQ(written.bytes.size(), c.status == LS11_OK ? out_size : 0);
    // Entries that might not fit stored are all packed before a write.
    Placed placed;
    reason = ls11_reason{-1, 0, 0, 0, 0};
    EXPECT_EQ(ls11_pack_at(data.data(), c.sizes.data(), static_cast<uint32_t>(c.sizes.size()),
                           &store, place, &placed, &reason),
              c.status);
    EXPECT_EQ(reason.code, c.reason);
    EXPECT_EQ(reason.found, c.found);
    EXPECT_EQ(placed.total, c.status == LS11_OK ? out_size : 0);
  }
}

}  // namespace
