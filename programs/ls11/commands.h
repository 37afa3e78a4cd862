// The ls11 commands. Each takes the parsed command line, reports every
// failure on standard error as it goes, and returns kExitOk when every file
// worked, kExitFailed when one did not, or kExitUsage (through usage_error)
// when the operands are wrong, an entry index past the last one for
// instance, before anything is written.
#pragma once

#include <string>

#include "ls11/options.h"

namespace ls11 {

int run_list(const Options& options);
int run_extract(const Options& options);
int run_pack(const Options& options);
int run_repack(const Options& options);
int run_verify(const Options& options);
int run_replace(const Options& options);
int run_cat(const Options& options);

// Reports a usage error ("ls11: MESSAGE" and where to find help) and
// returns kExitUsage.
int usage_error(const std::string& message, const char* command);

}  // namespace ls11
