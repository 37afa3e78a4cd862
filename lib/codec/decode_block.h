// Block decoder for the LS11 bit code: doc/format.md describes the code
// and the blocks that do not decode.
//
// Promise: for any input whatsoever, decode_block never reads outside
// packed[0, packed_size) nor writes outside out[0, unpacked_size), and it
// returns false for every stream that does not decode to exactly
// unpacked_size bytes.
#pragma once

#include <cstdint>

namespace ls11 {

// Decodes one block. On success the first unpacked_size bytes of out hold the
// block's bytes; on failure their content is unspecified. Allocates nothing
// and keeps no state between calls.
bool decode_block(const uint8_t* packed, uint32_t packed_size, const uint8_t dictionary[256],
                  uint8_t* out, uint32_t unpacked_size);

// The same without the choice of instructions: what decode_block runs on a
// processor that lacks BMI2 or LZCNT. Built from the same source with other
// instructions, it must give the same results, which the fuzz targets check.
bool decode_block_portable(const uint8_t* packed, uint32_t packed_size,
                           const uint8_t dictionary[256], uint8_t* out, uint32_t unpacked_size);

}  // namespace ls11
