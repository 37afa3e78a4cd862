#include "support/allocation_probe.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "support/nth_call.h"

#ifdef _WIN32
#include <windows.h>

#include <psapi.h>
#endif

// The array forms of new and delete are replaced for the whole test program:
// each records its size and forwards to the scalar form, so allocation and
// release always pair the same way (sanitizers check that they do).
namespace {
std::atomic<size_t> g_largest{0};
NthCall g_refused;

void record(size_t size) {
  size_t seen = g_largest.load(std::memory_order_relaxed);
  while (size > seen && !g_largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
  }
}
}  // namespace

void* operator new[](size_t size) {
  record(size);
  return ::operator new(size);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
  record(size);
  return ::operator new(size, tag);
}
// The nothrow scalar form too, to refuse an allocation on demand; it takes
// its memory from the throwing form, so every delete still pairs with it.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (g_refused.refuse()) return nullptr;
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }
void operator delete[](void* p) noexcept { ::operator delete(p); }
void operator delete[](void* p, size_t) noexcept { ::operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }

void fail_nothrow_allocation(size_t nth) { g_refused.arm(nth); }
bool nothrow_allocation_failed() { return g_refused.refused(); }

void reset_largest_array_allocation() { g_largest.store(0, std::memory_order_relaxed); }
size_t largest_array_allocation() { return g_largest.load(std::memory_order_relaxed); }

#ifdef _WIN32

// Windows keeps only the lifetime peak of the working set and cannot set it
// back. While the process has never used more than it does now (a test run
// in a fresh process), that peak serves as one counted from now; a slack of
// 1 MiB allows for pages the process dropped since.
constexpr SIZE_T kPeakSlack = SIZE_T{1} << 20;

namespace {
bool memory_counters(PROCESS_MEMORY_COUNTERS& counters) {
  return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) != 0;
}
}  // namespace

bool reset_peak_resident() {
  PROCESS_MEMORY_COUNTERS counters;
  return memory_counters(counters) &&
         counters.PeakWorkingSetSize <= counters.WorkingSetSize + kPeakSlack;
}

size_t peak_resident_bytes() {
  PROCESS_MEMORY_COUNTERS counters;
  return memory_counters(counters) ? counters.PeakWorkingSetSize : 0;
}

#else

// Linux keeps the peak as VmHWM in /proc/self/status; writing 5 to
// /proc/self/clear_refs sets it back to the current resident size.
bool reset_peak_resident() {
  std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (!f) return false;
  const bool written = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && written;
}

size_t peak_resident_bytes() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  size_t kib = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) {
      std::sscanf(line + 6, "%zu", &kib);
      break;
    }
  }
  std::fclose(f);
  return kib * 1024;
}

#endif
