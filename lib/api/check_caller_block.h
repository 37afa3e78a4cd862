// Bytes a caller hands the API, as a block: NULL is allowed only for no
// bytes, and a block holds at most 4 GiB - 1 (the table's sizes are 32-bit).
// `entry` names the block in the reason.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/block_view.h"
#include "container/reason.h"

namespace ls11 {

inline ls11_status check_caller_block(const void* data, size_t size, BlockView& block,
                                      uint32_t entry, ls11_reason* reason) {
  if (!data && size != 0) {
    set_reason(reason, LS11_REASON_ARGUMENT, entry);
    return LS11_ERR_ARGUMENT;
  }
  if (size > UINT32_MAX) {
    set_reason(reason, LS11_REASON_ENTRY_TOO_LARGE, entry, size, UINT32_MAX);
    return LS11_ERR_TOO_LARGE;
  }
  block = BlockView{static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)};
  return LS11_OK;
}

}  // namespace ls11
