// The ls11 command line: the companion tool to unls11, for looking inside
// LS11 files, taking their entries out and building new files.
#pragma once

#include <string>
#include <vector>

namespace ls11 {

// Runs `ls11 arguments...` and returns its exit status: 0 when everything
// worked, 1 when any file failed, 2 for a usage error.
int run_ls11(const std::vector<std::string>& arguments);

}  // namespace ls11
