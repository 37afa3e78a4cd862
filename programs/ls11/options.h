// An ls11 command line, parsed: the command's options and operands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ls11.h"

namespace ls11 {

struct Options {
  std::vector<std::string> operands;
  std::string output;  // -o: output file (pack, repack, replace) or folder (extract)
  // With -r the operands are the files found below the folders named (see
  // walk.h): the folder each lies in below its operand ("" for one named
  // itself), and how many other files were passed over.
  std::vector<std::string> subfolders;
  uint64_t skipped = 0;
  bool recursive = false;
  bool quiet = false;  // -q: nothing but errors and the data asked for
  bool json = false;
  bool force = false;
  int format = 11;
  // --store wins over --level, whichever comes first.
  ls11_level level = LS11_LEVEL_BEST;
  unsigned threads = 0;  // -T: threads to pack on, 0 for one per core
};

// Exit statuses: everything worked, some file failed, the command line was
// wrong.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace ls11
