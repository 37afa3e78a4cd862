// ls11: the companion tool to unls11 (list, verify, cat, extract, pack,
// repack, replace).
#include <string>
#include <vector>

#include "ls11/cli.h"

#ifdef _WIN32
#include "tool_support/wide_main.h"

// ls11 leaves patterns to whoever starts it: a POSIX shell expands them, and
// on Windows, where the console does not, the C runtime does it before
// wmain.
extern "C" {
int _dowildcard = 1;
}

// Arguments arrive as UTF-16 so that any file name survives; the library
// works in UTF-8 throughout.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments = ls11::start_wide_main(argc, argv);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return ls11::run_ls11(arguments);
}
#else
int main(int argc, char** argv) {
  return ls11::run_ls11(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
#endif
