#include "support/io_faults.h"

#include <sys/types.h>

#include <cerrno>
#include <cstdio>

#include "support/nth_call.h"

extern "C" {
size_t __real_fread(void* buffer, size_t size, size_t count, std::FILE* file);
int __real_fseeko(std::FILE* file, off_t offset, int whence);
}

namespace {
NthCall g_refused[2];  // per IoCall

bool refuse(IoCall call) {
  if (!g_refused[static_cast<size_t>(call)].refuse()) return false;
  errno = EIO;
  return true;
}
}  // namespace

void fail_io_call(IoCall call, size_t nth) { g_refused[static_cast<size_t>(call)].arm(nth); }

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
