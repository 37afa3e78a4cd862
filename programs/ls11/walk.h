// -r: the files below the folders named on the command line.
#pragma once

#include "ls11/options.h"

namespace ls11 {

// Replaces each operand that is a folder by the LS11 files below it, found
// by their header whatever their names, sorted by name within each folder
// and listed before the folder's subfolders. Symbolic links to folders are
// not followed; other files are skipped silently and counted in
// options.skipped. Operands that are not folders stay as they are.
// options.subfolders receives, for each file, the folder below its operand
// it was found in ("sub/deeper/", or "" at the top and for a file named
// itself). A folder that cannot be read is reported; the result is then
// false, and the others are still searched.
//
// With `every_file` (pack) a folder stands for every file below it, LS11 or
// not, sorted by path byte by byte (so "d/a.txt" comes before "d/a/x"): an
// order that is the same on every system and every run.
bool expand_folders(Options& options, bool every_file = false);

}  // namespace ls11
