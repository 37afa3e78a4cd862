// unls11: decodes LS11 files given on the command line.
#include <string>
#include <vector>

#include "driver/batch.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "container/file_io.h"

// The MinGW runtime can expand wildcards in the command line before wmain,
// in its own order and with its own rules; the batch expands them itself,
// so the runtime's expansion stays off whatever the toolchain's default.
extern "C" {
int _dowildcard = 0;
}

// Arguments arrive as UTF-16 so that any file name survives; the library
// works in UTF-8 throughout. Standard output is binary so the report reads
// byte for byte as it does on other systems (no CR before each LF).
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(wide_to_utf8(argv[i]));
  const std::string program = argc > 0 ? wide_to_utf8(argv[0]) : std::string("unls11");
  return run_batch(program.c_str(), arguments);
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return run_batch(argc > 0 ? argv[0] : "unls11", arguments);
}
#endif
