// unls11: decodes LS11 files given on the command line.
#include <string>
#include <vector>

#include "driver/batch.h"

#ifdef _WIN32
#include "container/file_io.h"

// Arguments arrive as UTF-16 so that any file name survives; the library
// works in UTF-8 throughout.
int wmain(int argc, wchar_t** argv) {
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
