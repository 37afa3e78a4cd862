// JSON output of the ls11 commands.
#pragma once

#include <string>

namespace ls11 {

// `text` as a JSON string literal, quotes included, always valid UTF-8:
// control characters escaped, and each byte that is not part of valid
// UTF-8 given as U+FFFD.
std::string json_string(const std::string& text);

// The members that name a file, `"KEY": "NAME"`: a name that is not valid
// UTF-8 also gets `"file_bytes_hex"` with its bytes, so that two such
// names can be told apart.
std::string json_file_name(const char* key, const std::string& path);

}  // namespace ls11
