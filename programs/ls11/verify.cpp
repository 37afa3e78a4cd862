// ls11 verify: every entry of a file decoded in memory; nothing is written.
// A failure is given in unls11's words, then why, in the library's.
#include <string>

#include "ls11/archive.h"
#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/json.h"
#include "ls11/report.h"
#include "ls11/text_escape.h"

namespace ls11 {

namespace {

struct Verdict {
  ls11_status status;
  std::string message;  // in unls11's words, for the report
  std::string words;    // for standard error
  bool opened;          // the table was read, so `entries` is known
  uint32_t entries;
  ls11_reason reason;
};

Verdict check_file(const std::string& path) {
  Archive archive;
  ls11_reason reason;
  std::string words;
  ls11_status status = try_open_archive(path, archive, reason, words);
  if (status != LS11_OK)
    return Verdict{status, ls11_status_report(status), words, false, 0, reason};
  status = decode_each_entry(path, archive.get(), nullptr, nullptr, reason);
  words = failure_reason(status, reason.entry);
  return Verdict{status, words, words, true, ls11_entry_count(archive.get()), reason};
}

// The reason adds nothing to a system error, which the words already give,
// nor to "entry K: Failed to decode the file!".
bool reason_adds(const ls11_reason& reason) {
  return reason.code != LS11_REASON_NONE && reason.code != LS11_REASON_CANNOT_OPEN &&
         reason.code != LS11_REASON_CANNOT_READ && reason.code != LS11_REASON_BLOCK_CORRUPT;
}

std::string json_object(const std::string& path, const Verdict& v) {
  const bool failed = v.reason.code != LS11_REASON_NONE;
  return "  {" + json_file_name("name", path) + ", \"status\": " + std::to_string(v.status) +
         ", \"message\": " + json_string(v.message) +
         ", \"entries\": " + (v.opened ? std::to_string(v.entries) : "null") +
         ", \"reason_code\": " + std::to_string(v.reason.code) +
         ", \"reason\": " + (failed ? json_string(reason_sentence(v.reason)) : "null") +
         ", \"failed_entry\": " +
         (failed && v.reason.entry != LS11_NO_ENTRY ? std::to_string(v.reason.entry) : "null") +
         "}";
}

}  // namespace

int run_verify(const Options& options) {
  int status = kExitOk;
  std::string json = "[";
  for (const std::string& path : options.operands) {
    const Verdict verdict = check_file(path);
    if (verdict.status != LS11_OK) {
      report_error(path, verdict.words + (reason_adds(verdict.reason)
                                              ? " (" + reason_sentence(verdict.reason) + ")"
                                              : std::string()));
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
