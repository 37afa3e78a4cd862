// Reading the plain files the ls11 commands take in (pack's inputs, the
// bytes of a replacement, repack's decoded file); each reports its own
// failure as "ls11: FILE: reason" and returns false. LS11 files are opened
// through the library (archive.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/large_buffer.h"

namespace ls11 {

// A whole input file in memory.
struct LoadedFile {
  uint8_t* data = nullptr;  // the bytes: in `bytes`, or in a buffer shared by several inputs
  std::unique_ptr<uint8_t[]> bytes;
  uint64_t size = 0;
  bool size_known = true;  // false: the input passed the limit, at `size`
};

enum class LoadResult { ok, failed, too_long };

// Reads an input to its end, whatever it is (a file, a pipe, a device, a
// file under /proc whose recorded length is 0), holding at most `limit`
// bytes. too_long, not reported, as soon as it passes `limit`: `size` is
// then the recorded length of a regular file, or limit + 1 and not known
// when no more is known. failed has been reported.
LoadResult load_file(const std::string& path, uint64_t limit, LoadedFile& loaded);

// load_file without the report: for `failed`, `failure_reason` holds what
// it would have said. A regular file whose recorded length is `room_size`
// is read into `room` when that is given.
LoadResult read_input(const std::string& path, uint64_t limit, LoadedFile& loaded,
                      std::string& failure_reason, uint8_t* room = nullptr, uint64_t room_size = 0);

// load_file for one entry (4 GiB - 1 bytes at most), reporting one too long.
bool load_entry(const std::string& path, LoadedFile& loaded);

// Loads each path as one entry (4 GiB - 1 bytes at most) on up to
// `threads` threads (0: one per core), the many small inputs of a pack
// being read while others are. False when one fails, after reporting the
// first in order (one too long too), as loading them in turn would. The
// regular files are read into `shared`, one buffer for all of them.
bool load_entries(const std::vector<std::string>& paths, unsigned threads,
                  std::vector<LoadedFile>& loaded, platform::LargeBuffer& shared);

}  // namespace ls11
