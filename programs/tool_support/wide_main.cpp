#include "tool_support/wide_main.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/file_io.h"

namespace ls11 {

std::vector<std::string> start_wide_main(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // Progress lines end in the escape that clears the rest of the line,
  // which a Windows console reads only when asked to.
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(error, &mode))
    SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(platform::wide_to_utf8(argv[i]));
  return arguments;
}

}  // namespace ls11
#endif
