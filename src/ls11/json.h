// JSON output of the ls11 commands.
#pragma once

#include <string>

// `text` (UTF-8) as a JSON string literal, quotes included.
std::string json_string(const std::string& text);
