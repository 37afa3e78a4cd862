// ls11 verify: every entry of a file decoded in memory; nothing is written.
#include <string>

#include "container/status.h"
#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/inputs.h"
#include "ls11/report.h"
#include "ls11/text_escape.h"

int run_verify(const Options& options) {
  int status = kExitOk;
  for (const std::string& path : options.operands) {
    FilePtr file = make_file_ptr(nullptr);
    Container container;
    if (!open_container(path, file, container) ||
        !decode_entries(path, file.get(), container, nullptr, nullptr)) {
      status = kExitFailed;
      continue;
    }
    print_result(printable(path) + ": " + status_message(STATUS_OK) + "\n");
  }
  return status;
}
