// Opening the files the ls11 commands read; each reports its own failure
// as "ls11: FILE: reason" and returns false.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "io/file_io.h"
#include "container/read_container.h"

namespace ls11 {

// A whole input file in memory.
struct LoadedFile {
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
    return BlockSource{whole.bytes ? nullptr : file.get(), whole.bytes.get(), &buffers};
  }
};

// Opens an LS11 file and reads its table. On failure, the status and the
// words that say why ("cannot open the file: No such file or directory",
// "Unsupported encoded file type!") are in `reason`.
Status try_open_container(const std::string& path, OpenedContainer& opened, std::string& reason);

// The same, reporting a failure as "ls11: FILE: reason".
bool open_container(const std::string& path, OpenedContainer& opened);

enum class LoadResult { ok, failed, too_long };

// Reads an input to its end, whatever it is (a file, a pipe, a device, a
// file under /proc whose recorded length is 0), holding at most `limit`
// bytes. too_long, not reported, as soon as it passes `limit`: `size` is
// then the recorded length of a regular file, or limit + 1 and not known
// when no more is known. failed has been reported.
LoadResult load_file(const std::string& path, uint64_t limit, LoadedFile& loaded);

// load_file for one entry (4 GiB - 1 bytes at most), reporting one too long.
bool load_entry(const std::string& path, LoadedFile& loaded);

}  // namespace ls11
