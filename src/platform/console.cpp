#include "platform/console.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

#include "platform/file_io.h"

namespace {

void write_text(std::FILE* stream, DWORD handle_id, const char* text) {
  const HANDLE console = GetStdHandle(handle_id);
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) {
    std::fputs(text, stream);
    return;
  }
  // What the stream buffered must reach the console first.
  std::fflush(stream);
  const std::wstring wide = utf8_to_wide(text);
  DWORD written = 0;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

void print_text(const char* text) { write_text(stdout, STD_OUTPUT_HANDLE, text); }
void print_error_text(const char* text) { write_text(stderr, STD_ERROR_HANDLE, text); }

#else

void print_text(const char* text) { std::fputs(text, stdout); }
void print_error_text(const char* text) { std::fputs(text, stderr); }

#endif
