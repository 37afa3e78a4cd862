#include "support/io_faults.h"

#include <sys/types.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

extern "C" {
size_t __real_fread(void* buffer, size_t size, size_t count, std::FILE* file);
int __real_fseeko(std::FILE* file, off_t offset, int whence);
}

namespace {
std::atomic<size_t> g_fail_at[2];  // per IoCall; 0: none
std::atomic<size_t> g_seen[2];

bool refuse(IoCall call) {
  const size_t i = static_cast<size_t>(call);
  const size_t at = g_fail_at[i].load(std::memory_order_relaxed);
  if (at == 0 || g_seen[i].fetch_add(1, std::memory_order_relaxed) + 1 != at) return false;
  errno = EIO;
  return true;
}
}  // namespace

void fail_io_call(IoCall call, size_t nth) {
  const size_t i = static_cast<size_t>(call);
  g_fail_at[i].store(0, std::memory_order_relaxed);
  g_seen[i].store(0, std::memory_order_relaxed);
  g_fail_at[i].store(nth, std::memory_order_relaxed);
}

extern "C" {
// A refused read sets the stream's error indicator, as a failed one does
// (ferror reads that flag of glibc's FILE).
size_t __wrap_fread(void* buffer, size_t size, size_t count, std::FILE* file) {
  if (!refuse(IoCall::read)) return __real_fread(buffer, size, count, file);
  file->_flags |= _IO_ERR_SEEN;
  return 0;
}
int __wrap_fseeko(std::FILE* file, off_t offset, int whence) {
  return refuse(IoCall::seek) ? -1 : __real_fseeko(file, offset, whence);
}
}
