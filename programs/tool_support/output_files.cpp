// rand_s is declared only when asked for before the C library's headers.
#ifdef _WIN32
#define _CRT_RAND_S
#endif
#include "tool_support/output_files.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "tool_support/interrupt_cleanup.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include "platform/file_io.h"
#else
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/random.h>
#endif
#endif

namespace ls11 {

namespace {

// Temporary names are the folder, ".ls11-", 12 random hex digits and
// ".tmp": 22 bytes whatever the target's name, so any name a target can
// have leaves room for them.
constexpr int kNameAttempts = 16;

uint64_t random_bits() {
  uint64_t bits = 0;
#ifdef _WIN32
  unsigned int part = 0;
  if (rand_s(&part) == 0) bits = part;
  if (rand_s(&part) == 0) bits = bits << 32 | part;
#elif defined(__linux__)
  if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) bits = 0;
#endif
  // Without a random source the clock and a counter still give names
  // unlikely to be taken, and a taken one is never opened.
  static uint64_t counter = 0;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return bits ^ static_cast<uint64_t>(now) ^ (++counter * 0x9E3779B97F4A7C15u);
}

std::string temporary_name(const std::string& folder) {
  static const char kHex[] = "0123456789abcdef";
  uint64_t bits = random_bits();
  std::string name = folder + ".ls11-";
  for (int i = 0; i < 12; ++i, bits >>= 4) name += kHex[bits & 15];
  return name + ".tmp";
}

#ifdef _WIN32

int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;
  }
}

int last_error() { return errno_of(GetLastError()); }

std::wstring wide(const std::string& path) { return platform::utf8_to_wide(path.c_str()); }

// Opened so that an interrupt can delete it while it is open.
std::FILE* create_new(const std::string& path, int& error) {
  const HANDLE handle =
      CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = last_error();
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
  if (!file) {
    error = EMFILE;
    if (fd >= 0) {
      _close(fd);
    } else {
      CloseHandle(handle);
    }
    DeleteFileW(wide(path).c_str());
  }
  return file;
}

#else

std::FILE* create_new(const std::string& path, int& error) {
  const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (!file) {
    error = errno;
    if (fd >= 0) {
      close(fd);
      unlink(path.c_str());
    }
  }
  return file;
}

#endif

}  // namespace

std::string folder_part(const std::string& path) {
#ifdef _WIN32
  const size_t end = path.find_last_of("/\\:");
#else
  const size_t end = path.find_last_of('/');
#endif
  return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

int create_temporary(const std::string& folder, std::string& path, std::FILE*& file,
                     size_t& cleanup_slot) {
  file = nullptr;
  int error = EEXIST;
  for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
    path = temporary_name(folder);
    if (!track_file(path, cleanup_slot)) return ENOMEM;
    file = create_new(path, error);
    if (file) return 0;
    untrack_file(cleanup_slot);
  }
  return error;
}

std::string error_text(int error) { return std::strerror(error); }

std::filesystem::path fs_path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

OutputTarget output_target(const std::string& path, int& error) {
  namespace fs = std::filesystem;
  std::error_code code;
  const fs::file_status status = fs::status(fs_path(path), code);
  error = 0;
  switch (status.type()) {
    case fs::file_type::not_found:
      return fs::is_symlink(fs::symlink_status(fs_path(path), code)) ? OutputTarget::dangling_link
                                                                     : OutputTarget::missing;
    case fs::file_type::regular: return OutputTarget::file;
    case fs::file_type::fifo:
    case fs::file_type::character: return OutputTarget::stream;
    case fs::file_type::none:
      error = code.value() != 0 ? code.value() : EIO;
      return OutputTarget::other;
    default: return OutputTarget::other;
  }
}

int resolve_links(const std::string& path, std::string& resolved) {
  std::error_code code;
  const std::u8string canonical = std::filesystem::canonical(fs_path(path), code).u8string();
  if (code) return code.value();
  resolved.assign(canonical.begin(), canonical.end());
  return 0;
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code code;
  return std::filesystem::equivalent(fs_path(a), fs_path(b), code) && !code;
}

#ifdef _WIN32

PathKind path_kind(const std::string& path, int& error) {
  error = 0;
  const DWORD attributes = GetFileAttributesW(wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = last_error();
    if (error != ENOENT) return PathKind::other;
    error = 0;
    return PathKind::missing;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::symlink;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return PathKind::other;
  return PathKind::regular;
}

int copy_permissions(const std::string&, std::FILE*) { return 0; }

int open_stream(const std::string& path, std::FILE*& file) {
  const int fd = path == "-" ? _dup(1) : _wopen(wide(path).c_str(), _O_WRONLY | _O_BINARY);
  if (fd < 0) return errno;
  _setmode(fd, _O_BINARY);
  file = _fdopen(fd, "wb");
  if (file) return 0;
  _close(fd);
  return EMFILE;
}

int rename_replacing(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)
             ? 0
             : last_error();
}

int rename_no_replace(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(), 0) ? 0 : last_error();
}

int make_folder(const std::string& path) {
  return CreateDirectoryW(wide(path).c_str(), nullptr) ? 0 : last_error();
}

int remove_file(const std::string& path) {
  return DeleteFileW(wide(path).c_str()) ? 0 : last_error();
}

int remove_folder(const std::string& path) {
  return RemoveDirectoryW(wide(path).c_str()) ? 0 : last_error();
}

#else

PathKind path_kind(const std::string& path, int& error) {
  error = 0;
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return PathKind::missing;
    error = errno;
    return PathKind::other;
  }
  if (S_ISREG(status.st_mode)) return PathKind::regular;
  return S_ISLNK(status.st_mode) ? PathKind::symlink : PathKind::other;
}

int copy_permissions(const std::string& model, std::FILE* file) {
  struct stat status;
  if (stat(model.c_str(), &status) != 0) return errno;
  return fchmod(fileno(file), status.st_mode & 07777) == 0 ? 0 : errno;
}

int open_stream(const std::string& path, std::FILE*& file) {
  const int fd = path == "-" ? fcntl(1, F_DUPFD_CLOEXEC, 0)
                             : open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat status;
  int error = fstat(fd, &status) != 0 ? errno : 0;
  // Writing into a file without truncating it would leave its old tail.
  if (error == 0 && path != "-" && (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)))
    error = EEXIST;
  file = error == 0 ? fdopen(fd, "wb") : nullptr;
  if (file) return 0;
  close(fd);
  return error != 0 ? error : EMFILE;
}

int rename_replacing(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int rename_no_replace(const std::string& from, const std::string& to) {
#if defined(__linux__)
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // A file system without that rename: a hard link is made only where no
  // name is, so it decides the same in one step.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  unlink(from.c_str());
  return 0;
}

int make_folder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }

int remove_file(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

int remove_folder(const std::string& path) { return rmdir(path.c_str()) == 0 ? 0 : errno; }

#endif

}  // namespace ls11
