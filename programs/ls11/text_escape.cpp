#include "ls11/text_escape.h"

#include <cstdint>

namespace ls11 {

namespace {

bool is_control(uint32_t code_point) {
  return code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F);
}

void append_hex_escape(std::string& out, const char* prefix, uint32_t value, int digits) {
  static const char kHex[] = "0123456789abcdef";
  out += prefix;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

}  // namespace

size_t utf8_sequence(const std::string& text, size_t at, uint32_t& code_point) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  size_t length = 0;
  uint32_t minimum = 0;
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code_point = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code_point = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code_point = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code_point = code_point << 6 | (byte(at + i) & 0x3Fu);
  }
  if (code_point < minimum || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

std::string printable(const std::string& text) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    uint32_t code_point = 0;
    const size_t length = utf8_sequence(text, at, code_point);
    if (length != 0 && !is_control(code_point)) {
      out.append(text, at, length);
      at += length;
      continue;
    }
    // A control character's every byte, or the one stray byte.
    const size_t end = at + (length == 0 ? 1 : length);
    for (; at < end; ++at) append_hex_escape(out, "\\x", static_cast<uint8_t>(text[at]), 2);
  }
  return out;
}

bool is_utf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    uint32_t code_point = 0;
    const size_t length = utf8_sequence(text, at, code_point);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string hex_bytes(const std::string& text) {
  std::string out;
  for (const char c : text) append_hex_escape(out, "", static_cast<uint8_t>(c), 2);
  return out;
}

}  // namespace ls11
