// JSON output of the ls11 commands.
#pragma once

#include <string>

namespace ls11 {

// `text` as a JSON string literal, quotes included, always valid UTF-8:
// control characters escaped, and each byte that is not part of valid
// UTF-8 given as U+FFFD.
std::string json_string(const std::string& text);

}  // namespace ls11
