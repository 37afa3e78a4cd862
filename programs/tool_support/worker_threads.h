// Work shared among threads, for the tools' own jobs (reading the many
// inputs of a pack while others are read).
#pragma once

#include <cstddef>

namespace ls11 {

// Runs job(context) on up to `requested` threads at once (0: one per core;
// never more than `jobs`, nor than twice the cores or 4, whichever is
// more), one of them the calling thread. The jobs take their work from a
// shared counter, so a thread the system will not start leaves its share
// to the others. Returns once all have ended.
void run_on_threads(unsigned requested, size_t jobs, void (*job)(void* context), void* context);

}  // namespace ls11
