// Where the parts of an LS11 file lie: header, dictionary, entry table,
// closing word, blocks. doc/format.md describes the format.
#pragma once

#include <cstdint>

namespace ls11 {

constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kDictionaryOffset = 16;
constexpr uint32_t kTableOffset = 272;
constexpr uint32_t kEntrySize = 12;
constexpr uint32_t kClosingWordSize = 4;
// Every offset and size is 32 bits, so no valid file is longer than this.
constexpr uint64_t kLargestFile = UINT32_MAX;

}  // namespace ls11
