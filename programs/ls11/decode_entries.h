// Decoding every entry of an opened LS11 file in table order, with a progress
// line; failures are reported as "ls11: FILE: reason".
#pragma once

#include <cstdint>
#include <string>

#include "container/read_container.h"
#include "container/status.h"

namespace ls11 {

// Called with each decoded entry; returning false stops the decoding (the
// callee has reported why).
using EntrySink = bool (*)(void* context, uint32_t index, const uint8_t* data, uint32_t size);

// Decodes entries 0 to count - 1 of `container`, handing each to `sink`
// when it is not null. `path` names the file in messages.
bool decode_entries(const std::string& path, BlockSource source, const Container& container,
                    EntrySink sink, void* context);

// decode_entries without the message: the status of the first failure
// (LS11_ERR_WRITE when the sink stopped), with the entry it befell in
// `failed_index`, kNoEntry when it befell no entry (the buffers).
constexpr uint32_t kNoEntry = UINT32_MAX;
ls11_status decode_each_entry(const std::string& path, BlockSource source,
                              const Container& container, EntrySink sink, void* context,
                              uint32_t& failed_index);

// The reason printed for such a failure: "entry 3: Failed to decode the
// file!", or the status's message alone.
std::string failure_reason(ls11_status status, uint32_t failed_index);

}  // namespace ls11
