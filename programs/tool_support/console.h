// Console output of text that may hold any file name.
#pragma once

#include <cstdio>

namespace ls11 {

// Writes UTF-8 text to standard output. A Windows console is given the text
// as UTF-16, so it shows every name whatever its code page; a redirected
// standard output (and every POSIX one) gets the UTF-8 bytes unchanged.
// False when the text could not be written (errno says why).
bool print_text(const char* text);

// The same for standard error.
bool print_error_text(const char* text);

// Whether the stream is a terminal (a console on Windows).
bool is_terminal(std::FILE* stream);

}  // namespace ls11
