// Opening the files the ls11 commands read; each reports its own failure
// as "ls11: FILE: reason" and returns false.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_io.h"
#include "container/read_container.h"

// Opens an LS11 file and reads its table.
bool open_container(const std::string& path, FilePtr& file, Container& container);

// A whole input file in memory; an entry holds at most 4 GiB - 1 bytes.
struct LoadedFile {
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t size = 0;
};

bool load_file(const std::string& path, LoadedFile& loaded);
