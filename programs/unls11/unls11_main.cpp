// unls11: decodes LS11 files given on the command line.
#include <string>
#include <vector>

#include "unls11/batch.h"

#ifdef _WIN32
#include "tool_support/wide_main.h"

// The MinGW runtime can expand wildcards in the command line before wmain,
// in its own order and with its own rules; the batch expands them itself,
// so the runtime's expansion stays off whatever the toolchain's default.
extern "C" {
int _dowildcard = 0;
}

// Arguments arrive as UTF-16 so that any file name survives; the library
// works in UTF-8 throughout.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments = ls11::start_wide_main(argc, argv);
  const std::string program = arguments.empty() ? std::string("unls11") : arguments.front();
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return ls11::run_batch(program.c_str(), arguments);
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return ls11::run_batch(argc > 0 ? argv[0] : "unls11", arguments);
}
#endif
