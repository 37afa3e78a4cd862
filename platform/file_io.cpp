#include "platform/file_io.h"

#include <cstring>
#include <new>

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

WholeRead read_whole_stream(std::FILE* file, uint64_t limit, std::unique_ptr<uint8_t[]>& bytes,
                            uint64_t& size) {
  // The buffer starts small and doubles; one read at most a gibibyte, so
  // that a count always fits the C library's size_t.
  constexpr uint64_t kFirstCapacity = uint64_t{64} * 1024;
  constexpr uint64_t kLargestRead = uint64_t{1} << 30;
  wait_for_data(file);
  size = 0;
  uint64_t capacity = 0;
  for (;;) {
    if (size == capacity) {
      // Full: one more byte tells the end from more to come.
      if (capacity == limit) {
        if (std::fgetc(file) != EOF) return WholeRead::too_long;
        return std::ferror(file) ? WholeRead::failed : WholeRead::ok;
      }
      const uint64_t doubled = capacity * 2 > kFirstCapacity ? capacity * 2 : kFirstCapacity;
      const uint64_t larger = doubled < limit ? doubled : limit;
      if (larger > SIZE_MAX) return WholeRead::no_memory;
      std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[static_cast<size_t>(larger)]);
      if (!grown) return WholeRead::no_memory;
      if (size != 0) std::memcpy(grown.get(), bytes.get(), static_cast<size_t>(size));
      bytes = std::move(grown);
      capacity = larger;
    }
    const uint64_t room = capacity - size < kLargestRead ? capacity - size : kLargestRead;
    const size_t wanted = static_cast<size_t>(room);
    const size_t got = std::fread(bytes.get() + size, 1, wanted, file);
    size += got;
    if (got < wanted) return std::ferror(file) ? WholeRead::failed : WholeRead::ok;
  }
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

// _wfopen refuses directories by itself.
std::FILE* open_input_file(const char* path) { return _wfopen(utf8_to_wide(path).c_str(), L"rb"); }

std::FILE* open_output_file(const char* path) { return _wfopen(utf8_to_wide(path).c_str(), L"wb"); }

bool seek_to(std::FILE* file, uint64_t offset) {
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool stream_position(std::FILE* file, uint64_t& position) {
  __int64 at = _ftelli64(file);
  if (at < 0) return false;
  position = static_cast<uint64_t>(at);
  return true;
}

bool stream_length(std::FILE* file, uint64_t& length) {
  return _fseeki64(file, 0, SEEK_END) == 0 && stream_position(file, length);
}

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

bool seek_to(std::FILE* file, uint64_t offset) {
  if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool stream_position(std::FILE* file, uint64_t& position) {
  off_t at = ftello(file);
  if (at < 0) return false;
  position = static_cast<uint64_t>(at);
  return true;
}

bool stream_length(std::FILE* file, uint64_t& length) {
  return fseeko(file, 0, SEEK_END) == 0 && stream_position(file, length);
}

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
