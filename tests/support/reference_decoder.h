// A bit-at-a-time decoder written straight from the format's rules, kept as
// an independent check on the fast decoder: the two must agree on the
// success flag and, on success, on every byte.
#pragma once

#include <cstdint>

bool reference_decode_block(const uint8_t* packed, uint32_t packed_size,
                            const uint8_t dictionary[256], uint8_t* out, uint32_t unpacked_size);
