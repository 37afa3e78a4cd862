// What an ls11_archive holds, for the API's source files.
#pragma once

#include "container/read_container.h"
#include "ls11.h"
#include "platform/file_io.h"

struct ls11_archive {
  Container container;
  FilePtr file = make_file_ptr(nullptr);  // null for an archive in memory
  const uint8_t* memory = nullptr;        // the borrowed bytes, or null
  EntryBuffers buffers;                   // taken at the first read from a file
};
