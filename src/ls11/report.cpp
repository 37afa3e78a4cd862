#include "ls11/report.h"

#include <chrono>
#include <cstdio>

#include "platform/console.h"

#ifdef _WIN32
#include <io.h>
#define ls11_isatty(fd) _isatty(fd)
#define ls11_fileno(f) _fileno(f)
#else
#include <unistd.h>
#define ls11_isatty(fd) isatty(fd)
#define ls11_fileno(f) fileno(f)
#endif

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(250);

bool g_progress_shown = false;
std::chrono::steady_clock::time_point g_last_progress;

bool stderr_is_terminal() {
  static const bool terminal = ls11_isatty(ls11_fileno(stderr)) != 0;
  return terminal;
}

}  // namespace

void report_error(const std::string& file, const std::string& reason) {
  end_progress();
  print_error_text(("ls11: " + file + ": " + reason + "\n").c_str());
}

void show_progress(const std::string& label, uint64_t done, uint64_t total) {
  if (!stderr_is_terminal()) return;
  const auto now = std::chrono::steady_clock::now();
  if (g_progress_shown && now - g_last_progress < kProgressInterval) return;
  g_last_progress = now;
  const unsigned percent = total == 0 ? 100 : static_cast<unsigned>(done * 100 / total);
  char percent_text[8];
  std::snprintf(percent_text, sizeof percent_text, "%3u%%", percent);
  print_error_text(("\rls11: " + label + ": " + percent_text + "\033[K").c_str());
  std::fflush(stderr);
  g_progress_shown = true;
}

void show_activity(const std::string& text) {
  if (!stderr_is_terminal()) return;
  print_error_text(("\rls11: " + text + "\033[K").c_str());
  std::fflush(stderr);
  g_progress_shown = true;
}

void end_progress() {
  if (!g_progress_shown) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  g_progress_shown = false;
}
