#include "platform/large_buffer.h"

#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace ls11::platform {

#ifdef __linux__
namespace {

// Smaller buffers would not fill one large page.
constexpr size_t kLargePage = size_t{2} << 20;

}  // namespace
#endif

void LargeBufferRelease::operator()(uint8_t* bytes) const {
#ifdef __linux__
  if (mapped != 0) {
    munmap(bytes, mapped);
    return;
  }
#endif
  delete[] bytes;  // GCOVR_EXCL_BR_LINE
}

LargeBuffer allocate_large_buffer(size_t size) {
#ifdef __linux__
  if (size >= kLargePage && size <= SIZE_MAX - 2 * kLargePage) {
    // Large pages must start on a 2 MiB boundary: map one more, then give
    // back the ends around the aligned part.
    const size_t rounded = (size + kLargePage - 1) / kLargePage * kLargePage;
    const size_t whole = rounded + kLargePage;
    void* const mapping =
        mmap(nullptr, whole, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) return LargeBuffer(nullptr, LargeBufferRelease{0});
    uint8_t* const start = static_cast<uint8_t*>(mapping);
    const size_t skip = (kLargePage - reinterpret_cast<uintptr_t>(start) % kLargePage) % kLargePage;
    if (skip != 0) munmap(start, skip);
    if (kLargePage - skip != 0) munmap(start + skip + rounded, kLargePage - skip);
    madvise(start + skip, rounded, MADV_HUGEPAGE);  // advice only: no large pages is no failure
    return LargeBuffer(start + skip, LargeBufferRelease{rounded});
  }
#endif
  return LargeBuffer(new (std::nothrow) uint8_t[size], LargeBufferRelease{0});
}

}  // namespace ls11::platform
