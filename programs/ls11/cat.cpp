// ls11 cat: decoded bytes to standard output, for pipes. Each entry is
// decoded whole before any of it is written, so a damaged entry writes
// nothing: the entries before it are out, then the error follows.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "container/status.h"
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
  OpenedContainer opened;
  if (!open_container(path, opened)) return kExitFailed;
  const Container& container = opened.container;
  for (const uint32_t index : wanted) {
    if (index >= container.count) {
      return usage_error("cat: " + no_such_entry(path, container.count, index), "cat");
    }
  }
  if (options.operands.size() == 1) {
    for (uint32_t i = 0; i < container.count; ++i) wanted.push_back(i);
  }
  ls11_status status = prepare_entry_buffers(opened.source(), container);
  if (status != LS11_OK) {
    report_error(path, status_message(status));
    return kExitFailed;
  }
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe is a failed write, not the end of the process
#endif
  for (const uint32_t index : wanted) {
    const uint8_t* data = nullptr;
    status = read_entry(opened.source(), container, index, data);
    if (status != LS11_OK) {
      report_error(path, failure_reason(status, index));
      return kExitFailed;
    }
    // A refused write is reported once the command ends (a reader that
    // went away, as in `ls11 cat F | head`, quietly).
    if (!print_result_bytes(data, container.entries[index].unpacked_size)) return kExitFailed;
  }
  return kExitOk;
}

}  // namespace ls11
