// Picks out one call of many to fail on demand: the seams that refuse an
// allocation, a read or seek, or a thread start count their calls here.
#pragma once

#include <atomic>
#include <cstddef>

class NthCall {
 public:
  // Makes the `nth` call from now on the refused one, 1 being the next; 0
  // lets every call through.
  void arm(size_t nth) {
    at_.store(0, std::memory_order_relaxed);
    seen_.store(0, std::memory_order_relaxed);
    refused_.store(false, std::memory_order_relaxed);
    at_.store(nth, std::memory_order_relaxed);
  }
  // Counts a call; true for the one to refuse.
  bool refuse() {
    const size_t at = at_.load(std::memory_order_relaxed);
    if (at == 0 || seen_.fetch_add(1, std::memory_order_relaxed) + 1 != at) return false;
    refused_.store(true, std::memory_order_relaxed);
    return true;
  }
  // Whether the armed call has been refused.
  bool refused() const { return refused_.load(std::memory_order_relaxed); }

 private:
  // Constant-initialized, so that calls made before main are counted too.
  std::atomic<size_t> at_{0};
  std::atomic<size_t> seen_{0};
  std::atomic<bool> refused_{false};
};
