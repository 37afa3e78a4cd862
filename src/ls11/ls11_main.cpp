// ls11: the companion tool to unls11 (list, extract, pack, repack, verify).
#include <string>
#include <vector>

#include "ls11/cli.h"

#ifdef _WIN32
#include "container/file_io.h"

// Arguments arrive as UTF-16 so that any file name survives; the library
// works in UTF-8 throughout.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(wide_to_utf8(argv[i]));
  return run_ls11(arguments);
}
#else
int main(int argc, char** argv) {
  return run_ls11(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
#endif
