// Streams that fail under the reader: a pipe that cannot seek, a stream
// open for writing only, one whose descriptor is gone, a file shorter than
// the length it was opened with, memory refused while a stream is read
// whole. Each must come back as a failure, never as data.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "container/read_container.h"
#include "ls11.h"
#include "platform/file_io.h"
#include "support/allocation_probe.h"
#include "support/api_read.h"
#include "support/io_faults.h"
#include "support/ls11_writer.h"
#include "support/run_tool.h"

using namespace ls11;

namespace {

Bytes valid_file() {
  BitWriter abc;
  for (char c : {'a', 'b', 'c'}) put_literal(abc, static_cast<uint8_t>(c));
  put_match(abc, 3, 6);
  return build_file({stored_entry(Bytes(40, 's')), compressed_entry(abc, 9)});
}

// The read end of a pipe holding `bytes` (at most a pipe's buffer), its
// write end closed.
std::FILE* pipe_holding(const Bytes& bytes) {
  int ends[2];
  if (pipe(ends) != 0) return nullptr;
  const bool written = write(ends[1], bytes.data(), bytes.size()) == ssize_t(bytes.size());
  close(ends[1]);
  std::FILE* file = written ? fdopen(ends[0], "rb") : nullptr;
  if (!file) close(ends[0]);
  return file;
}

// A stream whose descriptor was closed under it: every call on it fails
// with EBADF. Nothing is opened while it lives, so the number is not reused.
std::FILE* without_descriptor(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file) close(fileno(file));
  return file;
}

struct StreamCase {
  const char* name;
  std::function<std::FILE*(const std::string& path)> open;
  std::function<bool(std::FILE*)> fails;  // true when the call failed as it must
};

TEST(StreamFailure, CallsOnStreamsThatCannotServeThemFail) {
  const std::string folder = make_temp_folder();
  const std::string path = folder + "/file.ls11";
  const Bytes file = valid_file();
  ASSERT_TRUE(write_file_bytes(path, file));
  // A table said to hold 600 entries in a file cut after entry 0, read with
  // the length the table needs: the entries are missing.
  Bytes cut = file;
  set_be32(cut, 280, 276 + 12 * 600);
  cut.resize(284);
  const std::string cut_path = folder + "/cut";
  const uint64_t cut_length = 276 + 12 * 600 + 4;
  ASSERT_TRUE(write_file_bytes(cut_path, cut));
  const std::string headless_path = folder + "/headless";
  ASSERT_TRUE(write_file_bytes(headless_path, Bytes(file.begin(), file.begin() + 280)));
  const auto pipe_of = [](const Bytes& bytes) {
    return [bytes](const std::string&) { return pipe_holding(bytes); };
  };
  const auto appending = [](const std::string& p) { return std::fopen(p.c_str(), "ab"); };
  const auto whole = [](std::FILE* f, uint64_t limit, platform::WholeRead expected) {
    std::unique_ptr<uint8_t[]> bytes;
    uint64_t size = 0;
    return platform::read_whole_stream(f, limit, bytes, size) == expected;
  };
  const auto table = [](std::FILE* f, uint64_t length, int status, bool with_reason) {
    Container c{};
    ls11_reason reason{};
    return read_table(f, length, 11, c, with_reason ? &reason : nullptr) == status &&
           (!with_reason || reason.code == LS11_REASON_CANNOT_READ);
  };
  const StreamCase cases[] = {
      {"position of a pipe", pipe_of(file),
       [](std::FILE* f) {
         uint64_t at = 0;
         return !platform::stream_position(f, at);
       }},
      {"length of a pipe", pipe_of(file),
       [](std::FILE* f) {
         uint64_t length = 0;
         return !platform::stream_length(f, length);
       }},
      {"seek past what an offset holds", appending,
       [](std::FILE* f) { return !platform::seek_to(f, UINT64_MAX); }},
      {"recorded length without a descriptor", without_descriptor,
       [](std::FILE* f) {
         uint64_t length = 0;
         return !platform::recorded_length(f, length);
       }},
      {"read whole without a descriptor", without_descriptor,
       [&](std::FILE* f) { return whole(f, 1000, platform::WholeRead::failed); }},
      {"read whole of a write-only stream at its limit", appending,
       [&](std::FILE* f) { return whole(f, 0, platform::WholeRead::failed); }},
      {"read whole past the limit", pipe_of(file),
       [&](std::FILE* f) { return whole(f, file.size() - 1, platform::WholeRead::too_long); }},
      {"read whole up to the limit (control)", pipe_of(file),
       [&](std::FILE* f) { return whole(f, file.size(), platform::WholeRead::ok); }},
      {"format of a pipe", pipe_of(file), [](std::FILE* f) { return detect_format(f) == 0; }},
      {"container of a pipe", pipe_of(file),
       [](std::FILE* f) {
         Container c{};
         return read_container(f, c) == LS11_ERR_FORMAT;
       }},
      {"container of a write-only stream", appending,
       [](std::FILE* f) {
         Container c{};
         ls11_reason reason{};
         return read_container(f, c, &reason) == LS11_ERR_FORMAT &&
                reason.code == LS11_REASON_CANNOT_READ && reason.system_error == EBADF;
       }},
      {"table of a write-only stream", appending,
       [&](std::FILE* f) { return table(f, file.size(), LS11_ERR_FORMAT, false); }},
      {"entry 0 cut short",
       [&](const std::string&) { return std::fopen(headless_path.c_str(), "rb"); },
       [&](std::FILE* f) { return table(f, file.size(), LS11_ERR_FORMAT, true); }},
      {"table shorter than the length it was read with",
       [&](const std::string&) { return std::fopen(cut_path.c_str(), "rb"); },
       [&](std::FILE* f) {
         return table(f, cut_length, LS11_ERR_FORMAT, true) && std::fseek(f, 0, SEEK_SET) == 0 &&
                table(f, cut_length, LS11_ERR_FORMAT, false);
       }},
  };
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::FILE* f = c.open(path);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(c.fails(f));
    std::fclose(f);
  }
  remove_tree(folder);
}

// A stream read whole: each buffer it grows into refused in turn gives
// no_memory, and a stream larger than the first buffer reads back intact.
TEST(StreamFailure, ReadWholeGrowsOrSaysMemoryRanOut) {
  const std::string folder = make_temp_folder();
  const std::string path = folder + "/big";
  Bytes big(200 * 1024);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + i / 251);
  ASSERT_TRUE(write_file_bytes(path, big));
  for (size_t nth = 1;; ++nth) {
    SCOPED_TRACE(nth);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::unique_ptr<uint8_t[]> bytes;
    uint64_t size = 0;
    fail_nothrow_allocation(nth);
    const platform::WholeRead read = platform::read_whole_stream(f, UINT32_MAX, bytes, size);
    const bool refused = nothrow_allocation_failed();
    fail_nothrow_allocation(0);
    std::fclose(f);
    if (!refused) {
      ASSERT_EQ(read, platform::WholeRead::ok);
      ASSERT_EQ(Bytes(bytes.get(), bytes.get() + size), big);
      break;
    }
    EXPECT_EQ(read, platform::WholeRead::no_memory);
  }
  remove_tree(folder);
}

#ifdef LS11_IO_FAULTS
// Calls that fail on a stream that served the ones before: a seek back
// after the header, a seek to the start after the length, a seek to a
// block, the read of a pipe opened by its path. Each is a failure to read,
// with the system's error.
TEST(StreamFailure, CallsThatFailMidway) {
  const std::string folder = make_temp_folder();
  const std::string path = folder + "/file.ls11";
  const Bytes file = valid_file();
  ASSERT_TRUE(write_file_bytes(path, file));
  const auto open_pipe = [&](ls11_reason* reason) {
    std::FILE* pipe = pipe_holding(file);
    const std::string name = "/proc/self/fd/" + std::to_string(fileno(pipe));
    ls11_archive* archive = nullptr;
    const ls11_status status = ls11_open_with_reason(name.c_str(), &archive, reason);
    std::fclose(pipe);
    return status == LS11_ERR_OPEN && archive == nullptr;
  };
  const struct {
    const char* name;
    IoCall call;
    size_t nth;
    std::function<bool(std::FILE*, ls11_reason&)> fails;
  } cases[] = {
      {"seek back after the header", IoCall::seek, 1,
       [](std::FILE* f, ls11_reason& reason) {
         reason.code = LS11_REASON_CANNOT_READ, reason.system_error = EIO;
         return detect_format(f) == 0;
       }},
      {"seek to the start", IoCall::seek, 2,
       [](std::FILE* f, ls11_reason& reason) {
         Container c{};
         return read_container(f, c, &reason) == LS11_ERR_FORMAT;
       }},
      {"read of the dictionary", IoCall::read, 2,
       [](std::FILE* f, ls11_reason& reason) {
         Container c{};
         return read_container(f, c, &reason) == LS11_ERR_FORMAT;
       }},
      {"seek to a block (the next seek, once the table is read)", IoCall::seek, 0,
       [](std::FILE* f, ls11_reason& reason) {
         Container c{};
         EntryBuffers buffers{};
         const uint8_t* data = nullptr;
         const bool opened = read_container(f, c) == LS11_OK;
         fail_io_call(IoCall::seek, 1);
         return opened &&
                read_entry({f, nullptr, &buffers}, c, 1, data, &reason) == LS11_ERR_CORRUPT &&
                reason.entry == 1;
       }},
      {"read of a pipe, with a reason", IoCall::read, 1,
       [&](std::FILE*, ls11_reason& reason) { return open_pipe(&reason); }},
      {"read of a kept block, replacing into memory (once verified)", IoCall::read, 0,
       [&](std::FILE*, ls11_reason& reason) {
         ls11_archive* archive = nullptr;
         if (ls11_open(path.c_str(), &archive) != LS11_OK) return false;
         const ls11_replacement replacement = {0, "new", 3};
         void* out = nullptr;
         size_t size = 0;
         fail_io_call(IoCall::read, 2);
         const ls11_status status = ls11_replace(archive, &replacement, 1, &out, &size);
         ls11_close(archive);
         reason.code = LS11_REASON_CANNOT_READ, reason.system_error = EIO;
         return status == LS11_ERR_CORRUPT && out == nullptr && size == 0;
       }},
      {"read of a pipe", IoCall::read, 1,
       [&](std::FILE*, ls11_reason& reason) {
         reason.code = LS11_REASON_CANNOT_READ, reason.system_error = EIO;
         return open_pipe(nullptr);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ls11_reason reason{};
    fail_io_call(c.call, c.nth);
    EXPECT_TRUE(c.fails(f, reason));
    fail_io_call(c.call, 0);
    EXPECT_EQ(reason.code, LS11_REASON_CANNOT_READ);
    EXPECT_EQ(reason.system_error, EIO);
    std::fclose(f);
  }
  remove_tree(folder);
}
#endif

// The API's open and reads, of a regular file and of a pipe (read whole),
// with each of their allocations refused in turn: LS11_ERR_NO_MEMORY, said
// so in the reason when one is asked for, or every entry read as with
// memory to spare.
TEST(StreamFailure, OpenAndReadSayMemoryRanOut) {
  const std::string folder = make_temp_folder();
  const std::string path = folder + "/file.ls11";
  const Bytes file = valid_file();
  ASSERT_TRUE(write_file_bytes(path, file));
  for (const int run : {0, 1, 2, 3}) {
    const bool from_pipe = run & 1;
    ls11_reason given{};
    ls11_reason* const reason = run & 2 ? &given : nullptr;
    for (size_t nth = 1;; ++nth) {
      SCOPED_TRACE(testing::Message()
                   << (from_pipe ? "pipe, " : "file, ") << (reason ? "reason, " : "") << nth);
      std::FILE* pipe = from_pipe ? pipe_holding(file) : nullptr;
      const std::string name = pipe ? "/proc/self/fd/" + std::to_string(fileno(pipe)) : path;
      ls11_archive* archive = nullptr;
      given = ls11_reason{};
      Collected read;
      fail_nothrow_allocation(nth);
      ls11_status status = ls11_open_with_reason(name.c_str(), &archive, reason);
      for (uint32_t i = 0; status == LS11_OK && i < ls11_entry_count(archive); ++i)
        status = ls11_read_entry_to(archive, i, collect, &read, reason);
      const bool refused = nothrow_allocation_failed();
      fail_nothrow_allocation(0);
      if (pipe) std::fclose(pipe);
      if (!refused) {
        EXPECT_EQ(status, LS11_OK);
        Bytes expected(40, 's');
        for (int i = 0; i < 3; ++i) expected.insert(expected.end(), {'a', 'b', 'c'});
        EXPECT_EQ(read.bytes, expected);
        // A writer that refuses: the entry is not handed over.
        Collected refusing{{}, 0, 0};
        EXPECT_EQ(ls11_read_entry_to(archive, 1, collect, &refusing, reason), LS11_ERR_WRITE);
        ls11_close(archive);
        break;
      }
      ls11_close(archive);
      EXPECT_EQ(status, LS11_ERR_NO_MEMORY);
      if (reason) {
        EXPECT_EQ(given.code, LS11_REASON_NO_MEMORY);
      }
    }
  }
  remove_tree(folder);
}

}  // namespace

#endif
