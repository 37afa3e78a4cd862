// unls11's conversion of one file, with the outcome left in g_status: the
// batch resets it to LS11_OK before each file and prints the message of
// the value it finds afterwards.
#pragma once

#include "ls11.h"

namespace ls11 {

extern int g_status;

// Converts the file at input_path into output_path (see convert_to_file).
// Returns true exactly when it leaves g_status untouched (LS11_OK);
// otherwise g_status holds the reason.
bool convert_file(const char* input_path, const char* output_path);

}  // namespace ls11
