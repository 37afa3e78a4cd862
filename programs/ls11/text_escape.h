// Names as ls11 shows them. A file name may hold any bytes but '/' and NUL:
// control characters must not reach a terminal (they could move the
// cursor, change colours or retitle the window), and JSON must stay valid
// UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ls11 {

// `text` with every control character (C0, DEL and C1) and every byte that
// is not part of valid UTF-8 written as \xHH.
std::string printable(const std::string& text);

// Whether `text` is valid UTF-8.
bool is_utf8(const std::string& text);

// The length of the valid UTF-8 sequence at `at` (1 to 4), with its code
// point, or 0 when the byte there does not start one. Overlong forms,
// surrogates and code points above U+10FFFF are invalid.
size_t utf8_sequence(const std::string& text, size_t at, uint32_t& code_point);

// The bytes of `text` in lower-case hexadecimal, two digits each.
std::string hex_bytes(const std::string& text);

}  // namespace ls11
