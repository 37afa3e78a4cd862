#include "ls11/safe_output.h"

#include <filesystem>
#include <system_error>

#include "container/file_io.h"

namespace {

// Paths are UTF-8 throughout; the filesystem library is told so.
std::filesystem::path fs_path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// An exclusive create: a name that is taken (by another run, say) is never
// opened and truncated, the next one is tried instead.
std::FILE* create_new(const std::string& path) {
#ifdef _WIN32
  return _wfopen(utf8_to_wide(path.c_str()).c_str(), L"wbx");
#else
  return std::fopen(path.c_str(), "wbx");
#endif
}

constexpr int kNameAttempts = 100;

}  // namespace

bool path_exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::symlink_status(fs_path(path), error).type() !=
         std::filesystem::file_type::not_found && !error;
}

bool begin_output(const std::string& target, SafeOutput& output) {
  output.target = target;
  output.file = nullptr;
  for (int attempt = 0; attempt < kNameAttempts && !output.file; ++attempt) {
    output.temporary = target + ".tmp" + std::to_string(attempt);
    output.file = create_new(output.temporary);
    if (!output.file && !path_exists(output.temporary)) break;  // not a name clash
  }
  return output.file != nullptr;
}

bool commit_output(SafeOutput& output) {
  const bool closed = std::fclose(output.file) == 0;
  output.file = nullptr;
  std::error_code error;
  if (closed) std::filesystem::rename(fs_path(output.temporary), fs_path(output.target), error);
  if (!closed || error) {
    std::filesystem::remove(fs_path(output.temporary), error);
    return false;
  }
  return true;
}

void abandon_output(SafeOutput& output) {
  if (!output.file) return;
  std::fclose(output.file);
  output.file = nullptr;
  std::error_code error;
  std::filesystem::remove(fs_path(output.temporary), error);
}
