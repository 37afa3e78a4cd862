#include "ls11/report.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "ls11/text_escape.h"
#include "tool_support/console.h"
#include "tool_support/output_files.h"

namespace ls11 {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(250);

bool g_progress_shown = false;
bool g_progress_wanted = false;
std::chrono::steady_clock::time_point g_last_progress;
int g_output_error = 0;  // errno of the first failed write to standard output

}  // namespace

bool stderr_is_terminal() { return is_terminal(stderr); }

void choose_progress(bool shown) { g_progress_wanted = shown; }

void report_error(const std::string& file, const std::string& reason) {
  end_progress();
  print_error_text((printable("ls11: " + file + ": " + reason) + "\n").c_str());
}

std::string with_reason(const std::string& what, int error) {
  return error == 0 ? what : what + ": " + error_text(error);
}

void print_result(const std::string& text) {
  if (g_output_error != 0) return;
  errno = 0;
  if (!print_text(text.c_str())) g_output_error = errno != 0 ? errno : EIO;
}

bool print_result_bytes(const void* data, size_t size) {
  if (g_output_error != 0) return false;
  errno = 0;
  if ((size == 0 || std::fwrite(data, 1, size, stdout) == size) && std::fflush(stdout) == 0)
    return true;
  g_output_error = errno != 0 ? errno : EIO;
  return false;
}

bool finish_standard_output() {
  errno = 0;
  if (std::fflush(stdout) != 0 && g_output_error == 0) g_output_error = errno != 0 ? errno : EIO;
  if (g_output_error == 0 && std::ferror(stdout)) g_output_error = EIO;
  if (g_output_error == 0) return true;
  if (g_output_error == EPIPE) return false;
  report_error("standard output", with_reason("cannot write", g_output_error));
  return false;
}

void show_progress(const std::string& label, uint64_t done, uint64_t total) {
  if (!g_progress_wanted) return;
  const auto now = std::chrono::steady_clock::now();
  if (g_progress_shown && now - g_last_progress < kProgressInterval) return;
  g_last_progress = now;
  const unsigned percent = total == 0 ? 100 : static_cast<unsigned>(done * 100 / total);
  char percent_text[8];
  std::snprintf(percent_text, sizeof percent_text, "%3u%%", percent);
  print_error_text(("\rls11: " + printable(label) + ": " + percent_text + "\033[K").c_str());
  std::fflush(stderr);
  g_progress_shown = true;
}

void show_activity(const std::string& text) {
  if (!g_progress_wanted) return;
  print_error_text(("\rls11: " + printable(text) + "\033[K").c_str());
  std::fflush(stderr);
  g_progress_shown = true;
}

void end_progress() {
  if (!g_progress_shown) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  g_progress_shown = false;
}

}  // namespace ls11
