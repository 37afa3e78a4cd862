// Buffers of megabytes that are filled once, front to back: the inputs a
// tool packs and the blocks the library writes. On Linux they are a mapping of their own that the
// system is asked to back with 2 MiB pages, so that filling them costs a page fault per 2 MiB
// rather than per 4 KiB; on a virtual machine each fault costs about as much as copying its page
// several times. Elsewhere, and for small sizes, they come from the heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ls11::platform {

struct LargeBufferRelease {
  size_t mapped;  // bytes of the mapping, or 0 for heap memory
  void operator()(uint8_t* bytes) const;
};

using LargeBuffer = std::unique_ptr<uint8_t[], LargeBufferRelease>;

// `size` bytes, or null when memory cannot be had.
LargeBuffer allocate_large_buffer(size_t size);

}  // namespace ls11::platform
