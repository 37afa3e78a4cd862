// Decoding every entry of an open LS11 file in table order, with a progress
// line; failures are reported as "ls11: FILE: reason".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "container/read_container.h"

// Called with each decoded entry; returning false stops the decoding (the
// callee has reported why).
using EntrySink = bool (*)(void* context, uint32_t index, const uint8_t* data, uint32_t size);

// Decodes entries 0 to count - 1 of `container`, handing each to `sink`
// when it is not null. `path` names the file in messages.
bool decode_entries(const std::string& path, std::FILE* file, const Container& container,
                    EntrySink sink, void* context);
