#include "ls11/entry_index.h"

namespace ls11 {

bool parse_entry_index(const std::string& text, uint32_t& index) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > UINT32_MAX) return false;
  index = static_cast<uint32_t>(value);
  return true;
}

std::string no_such_entry(const std::string& path, uint32_t count, uint32_t index) {
  return path + " has " + std::to_string(count) + (count == 1 ? " entry" : " entries") +
         "; there is no entry " + std::to_string(index);
}

}  // namespace ls11
