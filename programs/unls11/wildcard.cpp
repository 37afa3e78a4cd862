#include "unls11/wildcard.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>

#include "platform/file_io.h"
#else
#include <dirent.h>
#endif

namespace ls11 {

namespace {

bool is_utf8_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the UTF-8 sequence (or lone byte) that starts `text`.
size_t character_length(std::string_view text) {
  size_t length = 1;
  while (length < text.size() && is_utf8_continuation(text[length])) ++length;
  return length;
}

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The names of the entries that match `pattern`, whose directory part is
// its first `split` bytes, without "." and "..".
std::vector<std::string> list_matches(const std::string& pattern, size_t split) {
  std::vector<std::string> names;
#ifdef _WIN32
  // The system's own search matches the pattern (case-insensitively, as
  // Windows names do) and lists hidden entries and directories too. It
  // reads the directory part itself, drive-relative forms ("C:*.LS11")
  // included.
  (void)split;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(platform::utf8_to_wide(pattern.c_str()).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = platform::wide_to_utf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(std::move(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
#else
  const std::string directory = pattern.substr(0, split);
  const std::string_view name_pattern = std::string_view(pattern).substr(split);
  DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return names;
  while (const dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (wildcard_match(name_pattern, name)) names.emplace_back(name);
  }
  closedir(dir);
#endif
  return names;
}

}  // namespace

bool has_wildcard(std::string_view argument) {
  return argument.find_first_of("*?") != std::string_view::npos;
}

size_t directory_part_length(std::string_view pattern) {
  const size_t first_wildcard = std::min(pattern.find_first_of("*?"), pattern.size());
  const std::string_view head = pattern.substr(0, first_wildcard);
  const size_t separator = head.find_last_of("/\\");
  if (separator != std::string_view::npos) return separator + 1;
  const bool drive_prefix =
      head.size() >= 2 && head[1] == ':' &&
      ((head[0] >= 'A' && head[0] <= 'Z') || (head[0] >= 'a' && head[0] <= 'z'));
  return drive_prefix ? 2 : 0;
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
  // Greedy matching with one backtrack point: the most recent '*' and the
  // name position it was tried at. Linear in practice, never exponential.
  size_t p = 0, n = 0;
  size_t star = std::string_view::npos, star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_name = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += character_length(name.substr(n));
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star;
      star_name += character_length(name.substr(star_name));
      n = star_name;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool folded_name_less(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char x = static_cast<unsigned char>(fold(a[i]));
    const unsigned char y = static_cast<unsigned char>(fold(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::vector<std::string> expand_argument(const std::string& argument) {
  if (!has_wildcard(argument)) return {argument};
  const size_t split = directory_part_length(argument);
  const std::string directory = argument.substr(0, split);
  std::vector<std::string> names = list_matches(argument, split);
  if (names.empty()) return {argument};
  std::sort(names.begin(), names.end(), folded_name_less);
  for (std::string& name : names) name.insert(0, directory);
  return names;
}

std::vector<std::string> expand_arguments(const std::vector<std::string>& arguments) {
  std::vector<std::string> paths;
  for (const std::string& argument : arguments) {
    std::vector<std::string> expanded = expand_argument(argument);
    paths.insert(paths.end(), expanded.begin(), expanded.end());
  }
  return paths;
}

}  // namespace ls11
