// ls11 cat: decoded bytes to standard output, for pipes. Each entry is
// decoded whole before any of it is written, so a damaged entry writes
// nothing: the entries before it are out, then the error follows.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "ls11/archive.h"
#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/entry_index.h"
#include "ls11/inputs.h"
#include "ls11/report.h"

namespace ls11 {

int run_cat(const Options& options) {
  const std::string& path = options.operands[0];
  std::vector<uint32_t> wanted;
  for (size_t i = 1; i < options.operands.size(); ++i) {
    uint32_t index = 0;
    if (!parse_entry_index(options.operands[i], index)) {
      return usage_error("cat: '" + options.operands[i] + "' is not an entry index", "cat");
    }
    wanted.push_back(index);
  }
  Archive archive;
  if (!open_archive(path, archive)) return kExitFailed;
  const uint32_t count = ls11_entry_count(archive.get());
  for (const uint32_t index : wanted) {
    if (index >= count) {
      return usage_error("cat: " + no_such_entry(path, count, index), "cat");
    }
  }
  if (options.operands.size() == 1) {
    for (uint32_t i = 0; i < count; ++i) wanted.push_back(i);
  }
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe is a failed write, not the end of the process
#endif
  for (const uint32_t index : wanted) {
    // The library hands the entry over only once it is wholly decoded. A
    // refused write is reported once the command ends (a reader that went
    // away, as in `ls11 cat F | head`, quietly).
    ls11_reason reason;
    const ls11_status status = ls11_read_entry_to(
        archive.get(), index,
        [](void*, const void* data, size_t size) { return print_result_bytes(data, size) ? 0 : 1; },
        nullptr, &reason);
    if (status == LS11_ERR_WRITE) return kExitFailed;
    if (status != LS11_OK) {
      report_error(path, failure_reason(status, reason.entry));
      return kExitFailed;
    }
  }
  return kExitOk;
}

}  // namespace ls11
