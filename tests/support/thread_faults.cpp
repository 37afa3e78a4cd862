#include "support/thread_faults.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>

namespace {
std::atomic<size_t> g_fail_at{0};  // 0: none
std::atomic<size_t> g_seen{0};
std::atomic<bool> g_failed{false};

using CreateFn = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
}  // namespace

bool thread_start_failed() { return g_failed.load(std::memory_order_relaxed); }

void fail_thread_start(size_t nth) {
  g_fail_at.store(0, std::memory_order_relaxed);
  g_seen.store(0, std::memory_order_relaxed);
  g_failed.store(false, std::memory_order_relaxed);
  g_fail_at.store(nth, std::memory_order_relaxed);
}

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
  const size_t at = g_fail_at.load(std::memory_order_relaxed);
  if (at != 0 && g_seen.fetch_add(1, std::memory_order_relaxed) + 1 == at) {
    g_failed.store(true, std::memory_order_relaxed);
    return EAGAIN;
  }
  static const auto next = reinterpret_cast<CreateFn>(dlsym(RTLD_NEXT, "pthread_create"));
  return next(thread, attributes, start, argument);
}
