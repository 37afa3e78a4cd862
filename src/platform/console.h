// Console output of text that may hold any file name.
#pragma once

// Writes UTF-8 text to standard output. A Windows console is given the text
// as UTF-16, so it shows every name whatever its code page; a redirected
// standard output (and every POSIX one) gets the UTF-8 bytes unchanged.
void print_text(const char* text);

// The same for standard error.
void print_error_text(const char* text);
