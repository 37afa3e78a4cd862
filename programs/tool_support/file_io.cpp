#include "tool_support/file_io.h"

#ifdef _WIN32
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace ls11::platform {

bool read_exact(std::FILE* file, void* buffer, size_t size) {
  return size == 0 || std::fread(buffer, 1, size, file) == size;
}

bool write_exact(std::FILE* file, const void* buffer, size_t size) {
  return size == 0 || std::fwrite(buffer, 1, size, file) == size;
}

#ifdef _WIN32

std::wstring utf8_to_wide(const char* text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
  wide.resize(static_cast<size_t>(size - 1));
  return wide;
}

std::string wide_to_utf8(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(size - 1));
  return narrow;
}

// _wfopen refuses folders by itself.
std::FILE* open_input_file(const char* path) { return _wfopen(utf8_to_wide(path).c_str(), L"rb"); }

std::FILE* open_output_file(const char* path) { return _wfopen(utf8_to_wide(path).c_str(), L"wb"); }

bool recorded_length(std::FILE* file, uint64_t& length) {
  struct _stat64 status;
  if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return false;
  length = static_cast<uint64_t>(status.st_size);
  return true;
}

bool regular_file_length(const char* path, uint64_t& length) {
  struct _stat64 status;
  if (_wstat64(utf8_to_wide(path).c_str(), &status) != 0 ||
      (status.st_mode & _S_IFMT) != _S_IFREG) {
    return false;
  }
  length = static_cast<uint64_t>(status.st_size);
  return true;
}

void wait_for_data(std::FILE*) {}

#else

// O_NONBLOCK keeps a FIFO without a writer from blocking the open; reads of
// regular files are not affected by it.
std::FILE* open_input_file(const char* path) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    errno = EISDIR;
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (!file) close(fd);
  return file;
}

std::FILE* open_output_file(const char* path) { return std::fopen(path, "wb"); }

bool recorded_length(std::FILE* file, uint64_t& length) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  length = static_cast<uint64_t>(status.st_size);
  return true;
}

bool regular_file_length(const char* path, uint64_t& length) {
  struct stat status;
  if (stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  length = static_cast<uint64_t>(status.st_size);
  return true;
}

void wait_for_data(std::FILE* file) {
  const int fd = fileno(file);
  struct stat st;
  // A FIFO opened before its writer would read as empty at once; poll
  // waits for the writer's first bytes (or its close).
  if (fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) {
    struct pollfd wanted = {fd, POLLIN, 0};
    while (poll(&wanted, 1, -1) < 0 && errno == EINTR) {
    }
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

#endif

}  // namespace ls11::platform
