// The LS11 container layout.
//
// Layout (numbers are unsigned 32-bit big-endian):
//   0    "LS1" and a version character '0', '1' or '2', then 12 zero bytes
//   16   dictionary: the byte for each literal code 0..255
//   272  entry table: packed_size, unpacked_size, data_offset per entry
//   ...  a closing word of 4 bytes, then the blocks
// The table has no stored count: it runs up to the closing word just before
// entry 0's block, so count = (data_offset of entry 0 - 276) / 12.
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
