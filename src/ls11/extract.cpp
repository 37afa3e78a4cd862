// ls11 extract: one file per entry, named after the input and the entry's
// index ("MAP.LS11.000"), so that an entry can be edited on its own. A file
// is decoded whole before anything is written, so a damaged file extracts
// nothing.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "ls11/commands.h"
#include "ls11/decode_entries.h"
#include "ls11/inputs.h"
#include "ls11/report.h"
#include "ls11/safe_output.h"

namespace {

// Indexes are zero-padded to at least three digits, and to as many as the
// last index needs, so the names sort in table order.
std::string entry_name(const std::string& base, uint32_t index, uint32_t count) {
  const size_t width = std::max<size_t>(3, std::to_string(count == 0 ? 0 : count - 1).size());
  std::string digits = std::to_string(index);
  return base + "." + std::string(width - digits.size(), '0') + digits;
}

std::string base_name(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool write_entry(void* context, uint32_t index, const uint8_t* data, uint32_t size) {
  const std::string& target = (*static_cast<const std::vector<std::string>*>(context))[index];
  SafeOutput output;
  if (!begin_output(target, output)) {
    report_error(target, "cannot create the file");
    return false;
  }
  if ((size != 0 && std::fwrite(data, 1, size, output.file) != size) || !commit_output(output)) {
    abandon_output(output);
    report_error(target, "cannot write the file");
    return false;
  }
  return true;
}

bool make_folder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(
      std::filesystem::path(std::u8string(folder.begin(), folder.end())), error);
  if (error) report_error(folder, "cannot create the folder");
  return !error;
}

// `subfolder`: where the file lies below a folder named with -r, made again
// below the -o folder.
bool extract_file(const std::string& path, const std::string& subfolder, const Options& options) {
  FilePtr file = make_file_ptr(nullptr);
  Container container;
  if (!open_container(path, file, container)) return false;

  const std::string folder =
      options.output.empty() ? folder_of(path) : options.output + "/" + subfolder;
  std::vector<std::string> targets;
  for (uint32_t i = 0; i < container.count; ++i) {
    targets.push_back(folder + entry_name(base_name(path), i, container.count));
    if (!options.force && path_exists(targets.back())) {
      report_error(targets.back(), "already exists (--force replaces it)");
      return false;
    }
  }
  if (!decode_entries(path, file.get(), container, nullptr, nullptr)) return false;
  if (!options.output.empty() && !subfolder.empty() && !make_folder(folder)) return false;
  return decode_entries(path, file.get(), container, write_entry, &targets);
}

}  // namespace

int run_extract(const Options& options) {
  if (!options.output.empty() && !make_folder(options.output)) return kExitFailed;
  int status = kExitOk;
  for (size_t i = 0; i < options.operands.size(); ++i) {
    const std::string subfolder = options.recursive ? options.subfolders[i] : std::string();
    if (!extract_file(options.operands[i], subfolder, options)) status = kExitFailed;
  }
  return status;
}
