#include "unls11/batch.h"

#include <cstdio>

#include "ls11.h"
#include "tool_support/console.h"
#include "unls11/convert_file.h"
#include "unls11/wildcard.h"

namespace ls11 {

namespace {

void print_usage(const char* program) {
  std::printf("unls11 - LS11 file decoder, version " LS11_VERSION_STRING "\n");
  std::printf("ls11kit, released 2026-12-09\n");
  std::printf("Usage: ");
  print_text(program);
  std::printf(" FILE ...\n");
}

}  // namespace

int run_batch(const char* program, const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    print_usage(program);
    return 1;
  }
  const std::vector<std::string> paths = expand_arguments(arguments);
  int succeeded = 0;
  for (const std::string& path : paths) {
    g_status = LS11_OK;
    // The name stands on the console while a large file is converted.
    print_text(path.c_str());
    std::printf(" : ");
    std::fflush(stdout);
    const std::string output_path = path + ".DEC";
    if (convert_file(path.c_str(), output_path.c_str())) ++succeeded;
    std::printf("%s\n", ls11_status_report(g_status));
  }
  const int total = static_cast<int>(paths.size());
  std::printf("\nTotal targets: %d, ", total);
  std::printf("Succeeded: %d, ", succeeded);
  std::printf("Failed: %d\n", total - succeeded);
  return 0;
}

}  // namespace ls11
