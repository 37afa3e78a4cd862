// ls11 replace: new bytes for some entries of a file, every other entry
// copied as it is (see ls11_replace in ls11.h).
#include <cerrno>
#include <string>
#include <vector>

#include "ls11/archive.h"
#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/entry_index.h"
#include "ls11/inputs.h"
#include "ls11/report.h"
#include "ls11/safe_output.h"
#include "platform/file_io.h"

namespace ls11 {

namespace {

struct Request {
  uint32_t index;
  std::string path;
};

// INDEX=FILE operands; an index named twice is a usage error, as is one
// past the end (checked once the table is read).
int parse_requests(const Options& options, std::vector<Request>& requests) {
  for (size_t i = 1; i < options.operands.size(); ++i) {
    const std::string& operand = options.operands[i];
    const size_t eq = operand.find('=');
    Request request{0, eq == std::string::npos ? std::string() : operand.substr(eq + 1)};
    if (eq == std::string::npos || request.path.empty() ||
        !parse_entry_index(operand.substr(0, eq), request.index)) {
      return usage_error("replace: '" + operand + "' is not INDEX=FILE", "replace");
    }
    for (const Request& earlier : requests) {
      if (earlier.index == request.index) {
        return usage_error("replace: entry " + std::to_string(request.index) + " is named twice",
                           "replace");
      }
    }
    requests.push_back(request);
  }
  return -1;
}

std::string write_failure(ls11_status status, int error) {
  if (status == LS11_ERR_NO_MEMORY) return ls11_status_report(status);
  if (status == LS11_ERR_TOO_LARGE) return "the entries do not fit in an LS11 file (4 GiB at most)";
  return with_reason("cannot write the file", error);
}

// The output, begun when the library hands over the first bytes: it does
// so only once every kept entry decoded, the new ones are encoded and the
// file is known to fit, so a refusal writes nothing.
struct Writing {
  const std::string& target;
  bool force;
  SafeOutput output;
  bool begun = false;
  bool begin_failed = false;
  int error = 0;  // of the first failing write
};

int write_to_output(void* context, const void* data, size_t size) {
  Writing& w = *static_cast<Writing*>(context);
  if (!w.begun) {
    w.begun = begin_output(w.target, w.output, w.force, true);
    w.begin_failed = !w.begun;
    if (!w.begun) return 1;
  }
  errno = 0;
  if (platform::write_exact(w.output.file, data, size)) return 0;
  w.error = errno != 0 ? errno : EIO;
  return 1;
}

// What failed before the output was begun: the original (a damaged entry
// kept), the sizes, or the output's creation.
int report_unwritten(const std::string& original_path, const Writing& w, ls11_status status,
                     const ls11_reason& reason) {
  if (w.begin_failed) {
    report_error(w.target, w.output.failure);
  } else if (status == LS11_ERR_CORRUPT) {
    report_error(original_path, failure_reason(status, reason.entry) +
                                    " (replace copies the other entries unseen, so it refuses a "
                                    "damaged file)");
  } else if (status == LS11_ERR_TOO_LARGE) {
    report_error(w.target, write_failure(status, 0));
  } else {
    report_error(original_path, ls11_status_report(status));
  }
  return kExitFailed;
}

}  // namespace

int run_replace(const Options& options) {
  std::vector<Request> requests;
  const int early = parse_requests(options, requests);
  if (early >= 0) return early;
  std::vector<std::string> inputs = {options.operands[0]};
  for (const Request& request : requests) inputs.push_back(request.path);
  if (!output_allowed(options.output, options.force, true) ||
      !output_is_not_an_input(options.output, inputs)) {
    return kExitFailed;
  }
  const std::string& original_path = options.operands[0];
  Archive original;
  if (!open_archive(original_path, original)) return kExitFailed;
  const uint32_t count = ls11_entry_count(original.get());
  for (const Request& request : requests) {
    if (request.index >= count) {
      return usage_error("replace: " + no_such_entry(original_path, count, request.index),
                         "replace");
    }
  }
  std::vector<LoadedFile> files(requests.size());
  std::vector<ls11_replacement> replacements;
  for (size_t i = 0; i < requests.size(); ++i) {
    if (!load_entry(requests[i].path, files[i])) return kExitFailed;
    replacements.push_back(
        ls11_replacement{requests[i].index, files[i].data, static_cast<size_t>(files[i].size)});
  }

  show_activity(options.output + ": encoding " + std::to_string(requests.size()) +
                (requests.size() == 1 ? " entry" : " entries"));
  Writing w{options.output, options.force, {}};
  ls11_reason reason;
  const ls11_status status =
      ls11_replace_to(original.get(), replacements.data(),
                      static_cast<uint32_t>(replacements.size()), write_to_output, &w, &reason);
  end_progress();
  if (!w.begun) return report_unwritten(original_path, w, status, reason);
  // The original is closed before the output is renamed into place, since
  // Windows renames nothing over a file that is open (OUT may be ORIGINAL).
  original.reset();
  if (status == LS11_ERR_CORRUPT) {
    abandon_output(w.output);
    report_error(options.output, "the original could not be read again");
    return kExitFailed;
  }
  if (status != LS11_OK || !commit_output(w.output)) {
    report_error(options.output,
                 status != LS11_OK ? write_failure(status, w.error) : w.output.failure);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace ls11
