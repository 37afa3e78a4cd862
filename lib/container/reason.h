// Filling in the caller's ls11_reason, when one was asked for: the detail
// beside a status, set where the failure is found.
#pragma once

#include <cstdint>

#include "ls11.h"

namespace ls11 {

inline void set_reason(ls11_reason* reason, int code, uint32_t entry = LS11_NO_ENTRY,
                       uint64_t found = 0, uint64_t expected = 0, int system_error = 0) {
  if (reason) *reason = ls11_reason{code, entry, found, expected, system_error};
}

inline ls11_status no_memory(ls11_reason* reason) {
  set_reason(reason, LS11_REASON_NO_MEMORY);
  return LS11_ERR_NO_MEMORY;
}

}  // namespace ls11
