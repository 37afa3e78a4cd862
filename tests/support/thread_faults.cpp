#include "support/thread_faults.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>

#include "support/nth_call.h"

namespace {
NthCall g_refused;

using CreateFn = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
}  // namespace

void fail_thread_start(size_t nth) { g_refused.arm(nth); }
bool thread_start_failed() { return g_refused.refused(); }

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
  if (g_refused.refuse()) return EAGAIN;
  static const auto next = reinterpret_cast<CreateFn>(dlsym(RTLD_NEXT, "pthread_create"));
  return next(thread, attributes, start, argument);
}
