// ls11 verify: every entry of a file decoded in memory; nothing is written.
#include <string>

#include "container/status.h"
#include "io/file_io.h"
#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/inputs.h"
#include "ls11/json.h"
#include "ls11/report.h"
#include "ls11/text_escape.h"

namespace ls11 {

namespace {

struct Verdict {
  ls11_status status;
  std::string message;  // in unls11's words, for the report
  std::string reason;   // for standard error
  bool opened;  // the table was read, so `entries` is known
  uint32_t entries;
};

Verdict check_file(const std::string& path) {
  OpenedContainer opened;
  std::string reason;
  ls11_status status = try_open_container(path, opened, reason);
  if (status != LS11_OK) return Verdict{status, status_message(status), reason, false, 0};
  uint32_t failed_index = kNoEntry;
  status = decode_each_entry(path, opened.source(), opened.container, nullptr, nullptr, failed_index);
  reason = failure_reason(status, failed_index);
  return Verdict{status, reason, reason, true, opened.container.count};
}

std::string json_object(const std::string& path, const Verdict& v) {
  return "  {" + json_file_name("name", path) + ", \"status\": " + std::to_string(v.status) +
         ", \"message\": " + json_string(v.message) +
         ", \"entries\": " + (v.opened ? std::to_string(v.entries) : "null") + "}";
}

}  // namespace

int run_verify(const Options& options) {
  int status = kExitOk;
  std::string json = "[";
  for (const std::string& path : options.operands) {
    const Verdict verdict = check_file(path);
    if (verdict.status != LS11_OK) {
      report_error(path, verdict.reason);
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
