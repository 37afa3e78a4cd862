#include "tool_support/worker_threads.h"

#include <exception>
#include <thread>
#include <vector>

namespace ls11 {

void run_on_threads(unsigned requested, size_t jobs, void (*job)(void* context), void* context) {
  const unsigned cores = std::thread::hardware_concurrency();
  // Beyond a few per core, threads that read files add nothing.
  const size_t most = cores > 2 ? size_t{2} * cores : 4;
  size_t threads = requested != 0 ? requested : (cores != 0 ? cores : 1);
  if (threads > most) threads = most;
  if (threads > jobs) threads = jobs;
  std::vector<std::thread> started;
  try {
    started.reserve(threads > 1 ? threads - 1 : 0);
    while (started.size() + 1 < threads) started.emplace_back(job, context);
  } catch (const std::exception&) {
    // Fewer threads than asked for: the ones running do all the work.
  }
  job(context);
  for (std::thread& thread : started) thread.join();
}

}  // namespace ls11
