// What a tool's wmain does first on Windows.
#pragma once

#ifdef _WIN32
#include <string>
#include <vector>

namespace ls11 {

// Puts standard output and error in binary mode, so the tools print the same
// bytes as on other systems (no CR before each LF), lets a console standard
// error read terminal escapes, and returns the command line's arguments
// converted from UTF-16 to UTF-8, entry 0 (the program path as invoked)
// included.
std::vector<std::string> start_wide_main(int argc, wchar_t** argv);

}  // namespace ls11
#endif
