// ls11 verify: every entry of a file decoded in memory; nothing is written.
#include <string>

#include "container/status.h"
#include "io/file_io.h"
#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/json.h"
#include "ls11/report.h"
#include "ls11/text_escape.h"

namespace ls11 {

namespace {

struct Verdict {
  Status status;
  std::string message;
  bool opened;  // the table was read, so `entries` is known
  uint32_t entries;
};

Verdict check_file(const std::string& path) {
  FilePtr file = make_file_ptr(open_input_file(path.c_str()));
  Container container;
  Status status = file ? read_container(file.get(), container) : STATUS_OPEN_INPUT;
  if (status != STATUS_OK) return Verdict{status, status_message(status), false, 0};
  uint32_t failed_index = kNoEntry;
  status = decode_each_entry(path, file.get(), container, nullptr, nullptr, failed_index);
  return Verdict{status, failure_reason(status, failed_index), true, container.count};
}

std::string json_object(const std::string& path, const Verdict& v) {
  return "  {\"name\": " + json_string(path) + ", \"status\": " + std::to_string(v.status) +
         ", \"message\": " + json_string(v.message) +
         ", \"entries\": " + (v.opened ? std::to_string(v.entries) : "null") + "}";
}

}  // namespace

int run_verify(const Options& options) {
  int status = kExitOk;
  std::string json = "[";
  for (const std::string& path : options.operands) {
    const Verdict verdict = check_file(path);
    if (verdict.status != STATUS_OK) {
      report_error(path, verdict.message);
      status = kExitFailed;
    } else if (!options.json && !options.quiet) {
      print_result(printable(path) + ": " + verdict.message + "\n");
    }
    if (options.json) json += (json.size() == 1 ? "\n" : ",\n") + json_object(path, verdict);
  }
  if (options.json) print_result(json + (json.size() == 1 ? "]\n" : "\n]\n"));
  return status;
}

}  // namespace ls11
