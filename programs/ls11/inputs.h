// Opening the files the ls11 commands read; each reports its own failure
// as "ls11: FILE: reason" and returns false.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "io/large_buffer.h"
#include "container/read_container.h"

namespace ls11 {

// A whole input file in memory.
struct LoadedFile {
  uint8_t* data = nullptr;  // the bytes: in `bytes`, or in a buffer shared by several inputs
  std::unique_ptr<uint8_t[]> bytes;
  uint64_t size = 0;
  bool size_known = true;  // false: the input passed the limit, at `size`
};

// An LS11 file opened for reading. A regular file is read through its
// stream, block by block; anything else (a pipe, /dev/stdin, a device) is
// read whole first, since its blocks cannot be sought.
struct OpenedContainer {
  FilePtr file = make_file_ptr(nullptr);
  LoadedFile whole;
  Container container;
  EntryBuffers buffers;
  BlockSource source() {
    return BlockSource{whole.data ? nullptr : file.get(), whole.data, &buffers};
  }
};

// Opens an LS11 file and reads its table. On failure, the status and the
// words that say why ("cannot open the file: No such file or directory",
// "Unsupported encoded file type!") are in `reason`.
ls11_status try_open_container(const std::string& path, OpenedContainer& opened,
                               std::string& reason);

// The same, reporting a failure as "ls11: FILE: reason".
bool open_container(const std::string& path, OpenedContainer& opened);

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
                  std::vector<LoadedFile>& loaded, LargeBuffer& shared);

}  // namespace ls11
