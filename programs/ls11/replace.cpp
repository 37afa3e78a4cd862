// ls11 replace: new bytes for some entries of a file, every other entry
// copied as it is (see container/replace_entries.h).
#include <cerrno>
#include <string>
#include <vector>

#include "container/replace_entries.h"
#include "container/status.h"
#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/entry_index.h"
#include "ls11/inputs.h"
#include "ls11/report.h"
#include "ls11/safe_output.h"

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
  if (status == LS11_ERR_NO_MEMORY) return status_message(status);
  if (status == LS11_ERR_TOO_LARGE) return "the entries do not fit in an LS11 file (4 GiB at most)";
  return with_reason("cannot write the file", error);
}

// The original is closed before the output is renamed into place, since
// Windows renames nothing over a file that is open (OUT may be ORIGINAL).
int write_output(const std::string& target, bool force, OpenedContainer& original,
                 const ReplacementPlan& plan) {
  const Container& container = original.container;
  uint64_t length = 0;
  ls11_status status = compute_file_length(plan.blocks.get(), container.count, length);
  if (status != LS11_OK) {
    report_error(target, write_failure(status, 0));
    return kExitFailed;
  }
  SafeOutput output;
  if (!begin_output(target, output, force, true)) {
    report_error(target, output.failure);
    return kExitFailed;
  }
  errno = 0;
  status = write_replacement(file_sink(output.file), original.source(), container, plan);
  const int write_error = errno;
  original.file.reset();
  if (status == LS11_ERR_CORRUPT) {
    abandon_output(output);
    report_error(target, "the original could not be read again");
    return kExitFailed;
  }
  if (status != LS11_OK || !commit_output(output)) {
    report_error(target, status != LS11_OK ? write_failure(status, write_error) : output.failure);
    return kExitFailed;
  }
  return kExitOk;
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
  OpenedContainer original;
  if (!open_container(original_path, original)) return kExitFailed;
  const Container& container = original.container;
  for (const Request& request : requests) {
    if (request.index >= container.count) {
      return usage_error("replace: " + no_such_entry(original_path, container.count, request.index),
                         "replace");
    }
  }
  std::vector<LoadedFile> files(requests.size());
  std::vector<Replacement> replacements;
  for (size_t i = 0; i < requests.size(); ++i) {
    if (!load_entry(requests[i].path, files[i])) return kExitFailed;
    replacements.push_back(
        Replacement{requests[i].index,
                    BlockView{files[i].data, static_cast<uint32_t>(files[i].size)}});
  }

  ReplacementPlan plan;
  ls11_reason reason{};
  show_activity(options.output + ": encoding " + std::to_string(requests.size()) +
                (requests.size() == 1 ? " entry" : " entries"));
  const ls11_status status =
      plan_replacement(original.source(), container, replacements.data(),
                       static_cast<uint32_t>(replacements.size()), plan, &reason);
  end_progress();
  if (status == LS11_ERR_CORRUPT) {
    report_error(original_path, failure_reason(status, reason.entry) +
                                    " (replace copies the other entries unseen, so it refuses a "
                                    "damaged file)");
    return kExitFailed;
  }
  if (status != LS11_OK) {
    report_error(original_path, status_message(status));
    return kExitFailed;
  }
  return write_output(options.output, options.force, original, plan);
}

}  // namespace ls11
