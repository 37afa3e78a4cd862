// Entry indexes typed on the command line (cat, replace).
#pragma once

#include <cstdint>
#include <string>

namespace ls11 {

// A decimal number below 2^32, digits only; false for anything else.
bool parse_entry_index(const std::string& text, uint32_t& index);

// "FILE has N entries; there is no entry INDEX", for an index past the end.
std::string no_such_entry(const std::string& path, uint32_t count, uint32_t index);

}  // namespace ls11
