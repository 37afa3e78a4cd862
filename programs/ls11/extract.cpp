// ls11 extract: one file per entry, named after the input and the entry's
// index ("MAP.LS11.000"), so that an entry can be edited on its own. A file
// extracts all or nothing: every entry is written under a temporary name,
// and the names are given only once all of them are complete, so a damaged
// file, a full disk or an interrupt leaves nothing of it behind.
#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ls11/archive.h"
#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/report.h"
#include "ls11/safe_output.h"
#include "tool_support/interrupt_cleanup.h"
#include "tool_support/output_files.h"

namespace ls11 {

namespace {

// Indexes are zero-padded to at least three digits, and to as many as the
// last index needs, so the names sort in table order.
std::string entry_name(const std::string& base, uint32_t index, uint32_t count) {
  const size_t width = std::max<size_t>(3, std::to_string(count == 0 ? 0 : count - 1).size());
  std::string digits = std::to_string(index);
  return base + "." + std::string(width - digits.size(), '0') + digits;
}

struct Extraction {
  std::vector<std::string> targets;
  std::unique_ptr<SafeOutput[]> outputs;
  bool force;
};

bool write_entry(void* context, uint32_t index, const uint8_t* data, uint32_t size) {
  Extraction& run = *static_cast<Extraction*>(context);
  SafeOutput& output = run.outputs[index];
  if (begin_output(run.targets[index], output, run.force) && write_output(output, data, size) &&
      close_output(output)) {
    return true;
  }
  report_error(output.target, output.failure);
  return false;
}

// Gives every entry its name. On a failure the names already given to new
// files are taken back (a replaced file cannot be brought back).
bool commit_all(Extraction& run, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (commit_output(run.outputs[i])) continue;
    report_error(run.targets[i], run.outputs[i].failure);
    for (uint32_t done = 0; done < i; ++done) {
      if (!run.outputs[done].replaced) remove_file(run.targets[done]);
    }
    return false;
  }
  return true;
}

// Makes the folder and the missing ones above it, tracking each one made so
// that an interrupt removes it, and noting it in `made`.
bool make_folders(const std::string& path, std::vector<std::string>& made) {
  for (size_t end = 0; end != std::string::npos;) {
    end = path.find_first_of("/\\", end + 1);
    const std::string part = path.substr(0, end);
    if (part.empty() || part.back() == ':') continue;  // "/x" or "C:/x"
    const int error = make_folder(part);
    if (error == 0) {
      made.push_back(part);
      track_folder(part);
    } else if (error != EEXIST) {
      report_error(part, with_reason("cannot create the folder", error));
      return false;
    }
  }
  return true;
}

// `subfolder`: where the file lies below a folder named with -r, made again
// below the -o folder.
bool extract_file(const std::string& path, const std::string& subfolder, const Options& options,
                  std::vector<std::string>& made) {
  Archive archive;
  if (!open_archive(path, archive)) return false;
  const uint32_t count = ls11_entry_count(archive.get());
  int error = 0;
  if (options.output.empty() && output_target(path, error) != OutputTarget::file) {
    // Beside a pipe or a device, as /dev/stdin.000, is no place for files.
    report_error(path, "is not a file, so its entries need a folder: name one with -o");
    return false;
  }

  const std::string folder =
      options.output.empty() ? folder_part(path) : options.output + "/" + subfolder;
  const std::string base = path.substr(folder_part(path).size());
  Extraction run{{},
                 std::unique_ptr<SafeOutput[]>(new (std::nothrow) SafeOutput[count]),
                 options.force};
  if (!run.outputs) {
    report_error(path, ls11_status_report(LS11_ERR_NO_MEMORY));
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    run.targets.push_back(folder + entry_name(base, i, count));
    if (!output_allowed(run.targets.back(), options.force)) return false;
  }
  if (!subfolder.empty() && !make_folders(folder, made)) return false;
  return decode_entries(path, archive.get(), write_entry, &run) && commit_all(run, count);
}

}  // namespace

int run_extract(const Options& options) {
  if (options.output == "-") {
    return usage_error(
        "extract: -o names a folder, not standard output (ls11 cat writes entries there)",
        "extract");
  }
  std::vector<std::string> made;
  int status = kExitOk;
  if (!make_folders(options.output, made)) {
    status = kExitFailed;
  } else {
    for (size_t i = 0; i < options.operands.size(); ++i) {
      const std::string subfolder = options.recursive ? options.subfolders[i] : std::string();
      if (!extract_file(options.operands[i], subfolder, options, made)) status = kExitFailed;
    }
  }
  // Folders this run made and left empty go again, the deepest first.
  for (size_t i = made.size(); i-- > 0;) {
    remove_folder(made[i]);
    untrack_folder(made[i]);
  }
  return status;
}

}  // namespace ls11
