#include "driver/console.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

#include "container/file_io.h"

void print_text(const char* text) {
  const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) {
    std::fputs(text, stdout);
    return;
  }
  // What printf buffered must reach the console first.
  std::fflush(stdout);
  const std::wstring wide = utf8_to_wide(text);
  DWORD written = 0;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

#else

void print_text(const char* text) { std::fputs(text, stdout); }

#endif
