// What an ls11_archive holds, for the API's source files. The struct is the
// public header's opaque type, so it is defined at global scope.
#pragma once

#include <memory>

#include "container/read_container.h"
#include "ls11.h"
#include "platform/file_io.h"

struct ls11_archive {
  ls11::Container container;
  ls11::platform::FilePtr file =
      ls11::platform::make_file_ptr(nullptr);  // null for an archive in memory
  const uint8_t* memory = nullptr;             // the file's bytes, or null
  std::unique_ptr<uint8_t[]> owned;            // a pipe's bytes, read whole
  ls11::EntryBuffers buffers;                  // taken at the first read from a file
};
