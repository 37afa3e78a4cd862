#include "ls11/walk.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "ls11.h"
#include "ls11/report.h"
#include "platform/file_io.h"
#include "tool_support/output_files.h"

namespace ls11 {

namespace {

namespace fs = std::filesystem;

std::string utf8_name(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

bool has_ls11_header(const std::string& path) {
  platform::FilePtr file = platform::make_file_ptr(platform::open_input_file(path.c_str()));
  uint8_t header[16];
  return file && platform::read_exact(file.get(), header, sizeof header) &&
         ls11_header_format(header, sizeof header) != 0;
}

struct Walk {
  Options& options;
  bool every_file;
  std::vector<std::string> files;
  std::vector<std::string> subfolders;
  bool all_read = true;
};

void walk_folder(const std::string& folder, const std::string& subfolder, Walk& walk) {
  std::error_code error;
  std::vector<std::string> files, folders;
  fs::directory_iterator it(fs_path(folder), error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = utf8_name(it->path());
    std::error_code type_error;
    if (it->is_symlink(type_error) && it->is_directory(type_error)) continue;
    if (it->is_directory(type_error)) {
      folders.push_back(name);
    } else if (it->is_regular_file(type_error)) {
      files.push_back(name);
    } else {
      ++walk.options.skipped;  // a device, a pipe, a dangling link
    }
  }
  if (error) {
    report_error(folder, "cannot read the folder");
    walk.all_read = false;
    return;
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  const std::string prefix = folder.back() == '/' || folder.back() == '\\' ? folder : folder + "/";
  for (const std::string& name : files) {
    if (walk.every_file || has_ls11_header(prefix + name)) {
      walk.files.push_back(prefix + name);
      walk.subfolders.push_back(subfolder);
    } else {
      ++walk.options.skipped;
    }
  }
  for (const std::string& name : folders) walk_folder(prefix + name, subfolder + name + "/", walk);
}

// Sorts the files found from `first` on by their paths, each keeping its
// subfolder.
void sort_by_path(Walk& walk, size_t first) {
  std::vector<std::pair<std::string, std::string>> found;
  for (size_t i = first; i < walk.files.size(); ++i)
    found.emplace_back(walk.files[i], walk.subfolders[i]);
  std::sort(found.begin(), found.end());
  for (size_t i = first; i < walk.files.size(); ++i) {
    walk.files[i] = std::move(found[i - first].first);
    walk.subfolders[i] = std::move(found[i - first].second);
  }
}

}  // namespace

bool expand_folders(Options& options, bool every_file) {
  Walk walk{options, every_file, {}, {}, true};
  for (const std::string& operand : options.operands) {
    std::error_code error;
    if (fs::is_directory(fs_path(operand), error)) {
      const size_t first = walk.files.size();
      walk_folder(operand, "", walk);
      if (every_file) sort_by_path(walk, first);
    } else {
      walk.files.push_back(operand);
      walk.subfolders.push_back("");
    }
  }
  options.operands = std::move(walk.files);
  options.subfolders = std::move(walk.subfolders);
  return walk.all_read;
}

}  // namespace ls11
