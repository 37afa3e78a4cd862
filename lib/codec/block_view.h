// The bytes of one block, as the codec and the container pass them around:
// borrowed, never owned, and at most 4 GiB - 1 long like every size of the
// format.
#pragma once

#include <cstdint>

namespace ls11 {

struct BlockView {
  const uint8_t* data;
  uint32_t size;
};

}  // namespace ls11
