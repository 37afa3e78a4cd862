// Opening the files the ls11 commands read; each reports its own failure
// as "ls11: FILE: reason" and returns false.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "io/file_io.h"
#include "container/read_container.h"

namespace ls11 {

// Opens an LS11 file and reads its table.
bool open_container(const std::string& path, FilePtr& file, Container& container);

// A whole input file in memory.
struct LoadedFile {
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

// load_file for one entry (4 GiB - 1 bytes at most), reporting one too long.
bool load_entry(const std::string& path, LoadedFile& loaded);

}  // namespace ls11
