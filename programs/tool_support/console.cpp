#include "tool_support/console.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/file_io.h"

namespace ls11 {
namespace {

bool write_text(std::FILE* stream, DWORD handle_id, const char* text) {
  const HANDLE console = GetStdHandle(handle_id);
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) return std::fputs(text, stream) >= 0;
  // What the stream buffered must reach the console first.
  if (std::fflush(stream) != 0) return false;
  const std::wstring wide = platform::utf8_to_wide(text);
  DWORD written = 0;
  if (WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
    return true;
  errno = EIO;
  return false;
}

}  // namespace

bool print_text(const char* text) { return write_text(stdout, STD_OUTPUT_HANDLE, text); }
bool print_error_text(const char* text) { return write_text(stderr, STD_ERROR_HANDLE, text); }
bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

}  // namespace ls11

#else

#include <unistd.h>

namespace ls11 {

bool print_text(const char* text) { return std::fputs(text, stdout) >= 0; }
bool print_error_text(const char* text) { return std::fputs(text, stderr) >= 0; }
bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

}  // namespace ls11

#endif
