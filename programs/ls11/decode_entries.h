// Decoding every entry of an opened LS11 file in table order, with a progress
// line; failures are reported as "ls11: FILE: reason".
#pragma once

#include <cstdint>
#include <string>

#include "ls11.h"

namespace ls11 {

// Called with each decoded entry, whole (an empty one too); returning false
// stops the decoding (the callee has reported why).
using EntrySink = bool (*)(void* context, uint32_t index, const uint8_t* data, uint32_t size);

// Decodes entries 0 to count - 1 of `archive`, handing each to `sink`
// when it is not null. `path` names the file in messages.
bool decode_entries(const std::string& path, ls11_archive* archive, EntrySink sink, void* context);

// decode_entries without the message: the status of the first failure
// (LS11_ERR_WRITE when the sink stopped), with the library's reason, whose
// entry is the one it befell (LS11_NO_ENTRY for none: the buffers).
ls11_status decode_each_entry(const std::string& path, ls11_archive* archive, EntrySink sink,
                              void* context, ls11_reason& reason);

// The reason printed for such a failure: "entry 3: Failed to decode the
// file!", or the status's message alone.
std::string failure_reason(ls11_status status, uint32_t failed_index);

}  // namespace ls11
