#include "ls11/json.h"

#include <cstdint>
#include <cstdio>

#include "ls11/text_escape.h"

namespace ls11 {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (size_t at = 0; at < text.size();) {
    uint32_t code_point = 0;
    const size_t length = utf8_sequence(text, at, code_point);
    if (length == 0) {
      out += "\\ufffd";
      ++at;
      continue;
    }
    if (code_point == '"' || code_point == '\\') {
      out += '\\';
      out += static_cast<char>(code_point);
    } else if (code_point < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code_point));
      out += escape;
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out + "\"";
}

std::string json_file_name(const char* key, const std::string& path) {
  std::string members = json_string(key);
  members += ": " + json_string(path);
  if (!is_utf8(path)) members += ", \"file_bytes_hex\": \"" + hex_bytes(path) + "\"";
  return members;
}

}  // namespace ls11
