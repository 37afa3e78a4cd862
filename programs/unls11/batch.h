// The unls11 batch: converts every file argument into "<argument>.DEC",
// printing one report line per file and a summary on standard output.
#pragma once

#include <string>
#include <vector>

namespace ls11 {

// `program` is the path the tool was invoked as; `arguments` are the file
// arguments as given (wildcards are expanded here). Returns the exit status:
// 1 when there is no file argument, 0 otherwise, whatever failed.
int run_batch(const char* program, const std::vector<std::string>& arguments);

}  // namespace ls11
