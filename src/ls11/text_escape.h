// Names as ls11 shows them. A file name may hold any bytes but '/' and NUL:
// control characters must not reach a terminal (they could move the
// cursor, change colours or retitle the window), and JSON must stay valid
// UTF-8.
#pragma once

#include <string>

// `text` with every control character (C0, DEL and C1) and every byte that
// is not part of valid UTF-8 written as \xHH.
std::string printable(const std::string& text);

// Whether `text` is valid UTF-8.
bool is_utf8(const std::string& text);

// `text` as a JSON string, quotes included: control characters escaped,
// and each byte that is not part of valid UTF-8 replaced by U+FFFD.
std::string json_string(const std::string& text);

// The bytes of `text` in lower-case hexadecimal, two digits each.
std::string hex_bytes(const std::string& text);
