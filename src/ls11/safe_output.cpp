#include "ls11/safe_output.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/file_io.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Paths are UTF-8 throughout; the filesystem library is told so.
std::filesystem::path fs_path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// An exclusive create: a name that is taken (by another run, say) is never
// opened and truncated, the next one is tried instead.
std::FILE* create_new(const std::string& path) {
#ifdef _WIN32
  const int fd = _wopen(utf8_to_wide(path.c_str()).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                        _S_IREAD | _S_IWRITE);
  std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
  if (fd >= 0 && !file) _close(fd);
#else
  const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (fd >= 0 && !file) close(fd);
#endif
  return file;
}

// Puts the finished file in place, replacing an existing target.
bool rename_over(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExW(utf8_to_wide(from.c_str()).c_str(), utf8_to_wide(to.c_str()).c_str(),
                     MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
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
  if (closed && rename_over(output.temporary, output.target)) return true;
  std::error_code error;
  std::filesystem::remove(fs_path(output.temporary), error);
  return false;
}

void abandon_output(SafeOutput& output) {
  if (!output.file) return;
  std::fclose(output.file);
  output.file = nullptr;
  std::error_code error;
  std::filesystem::remove(fs_path(output.temporary), error);
}
